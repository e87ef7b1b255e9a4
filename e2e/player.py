# What every player does, written once and played on every driver, judged from what the screen shows.
#
# A driver is the few calls a platform gives this script:
#   skips             {step name: why this platform cannot do that step}, declared once, beside the driver
#   start()           starts the game; returns once its window (or canvas) is there
#   key_down(key)     holds a key until key_up(key): "Left", "Right", "Up", "Down", "space", "Escape"
#   key_up(key)
#   capture()         a Capture of the client area, read from the screen (never from the game's memory)
#   outer_size()      the (width, height) the game lays its playfield on and centres the ship on
#   resize()          makes the window another size; returns its new client (width, height) once it has it
#   status()          None while the game runs, else its exit status (a page that says it ended: 0)
#   close()           ends every program it started; returns what they printed
import math
import re
import time
from dataclasses import dataclass

FRAME = 0.01  # a frame sleeps this long, so it lasts at least this long
SHIP_RADIUS = 25  # a ship at any heading lies within this of its centre; the shield reaches farther


def expect(ok, expected, saw):
    if not ok:
        raise AssertionError("expected %s; saw %s" % (expected, saw))


def poll(check, deadline=5.0):
    """check()'s first true result within the deadline in seconds, else its last."""
    end = time.monotonic() + deadline
    result = check()
    while not result and time.monotonic() < end:
        time.sleep(0.01)
        result = check()
    return result


@dataclass
class Capture:  # the client area as the screen shows it
    width: int
    height: int
    lit: set  # (x, y) of every pixel that is not black


def lit_pixels(data, width, bytes_per_pixel):
    """The (x, y) of every pixel of a row-major image whose colour bytes (its first three) are not all 0."""
    lit = set()
    for match in re.finditer(rb"[^\0]", data):  # only the few lit bytes are looked at
        pixel, byte = divmod(match.start(), bytes_per_pixel)
        if byte < 3:
            lit.add((pixel % width, pixel // width))
    return lit


def middle(points):
    """The middle of the box around the points."""
    xs = [x for x, _ in points]
    ys = [y for _, y in points]
    return (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2


@dataclass
class Ship:
    heading: float  # degrees: 180 is nose up, and a growing heading turns counter-clockwise
    centre: tuple


def ship_in(capture):
    """The ship, when one whole ship is all that is lit; else None."""
    lit = capture.lit
    if not 130 <= len(lit) <= 165:  # a ship lights 134 to 159 pixels, whatever its heading
        return None
    xs = [x for x, _ in lit]
    ys = [y for _, y in lit]
    if max(xs) - min(xs) > 40 or max(ys) - min(ys) > 40:
        return None
    if min(xs) < 1 or min(ys) < 1 or max(xs) > capture.width - 2 or max(ys) > capture.height - 2:
        return None  # perhaps cut by the edge of what is seen
    centroid = (sum(xs) / len(lit), sum(ys) / len(lit))
    nose = max(lit, key=lambda p: math.dist(p, centroid))  # the farthest from the centroid, within 4 degrees
    heading = math.degrees(math.atan2(nose[0] - centroid[0], nose[1] - centroid[1])) % 360
    return Ship(heading, middle(lit))


def turn_between(before, after):
    """Degrees turned from one heading to another, counter-clockwise positive, in (-180, 180]."""
    return -((before - after + 180) % 360 - 180)


class Game:
    # The game on one driver, as a player sees it. A key is held until what it does shows on the screen,
    # so the game has seen it down in an earlier frame than the one where it sees it let go.
    def __init__(self, driver):
        self.driver = driver
        self.seen = None

    def look(self):
        self.seen = self.driver.capture()
        return self.seen

    def ship(self):
        return ship_in(self.look())

    def alone(self, why, deadline=5.0):
        """The one whole ship that is all the screen shows."""
        ship = poll(self.ship, deadline)
        expect(ship, why + ": one whole ship and nothing else", "%d pixels lit" % len(self.seen.lit))
        return ship

    def centred(self, why, heading=None):
        """The ship alone on the middle of the outer size (and at the heading, if given)."""
        def placed():
            ship = self.ship()
            width, height = self.driver.outer_size()
            if not ship or math.dist(ship.centre, (width // 2, height // 2)) > 0.5:
                return None
            return heading is None or abs(turn_between(heading, ship.heading)) < 4

        wanted = "the ship alone at the middle of the outer size %s" % (self.driver.outer_size(),)
        expect(poll(placed), "%s: %s, heading %s" % (why, wanted, heading), ship_in(self.seen) or self.lit_count())

    def lit_count(self):
        return "%d pixels lit" % len(self.seen.lit)

    def hold(self, key, shows, why, deadline=5.0):
        """Holds the key until shows() is true, then lets it go; returns what shows() returned."""
        self.driver.key_down(key)
        try:
            result = poll(shows, deadline)
        finally:
            self.driver.key_up(key)
        expect(result, why, self.lit_count())
        return result

    def beyond(self, centre, radius=SHIP_RADIUS):
        """What is lit farther than radius from the ship's centre: bullets, the shield."""
        return [p for p in self.look().lit if math.dist(p, centre) > radius]

    def moved(self, start, distance):
        """Whether all that is lit (the ship, and its flame while thrusting) has moved that far from start."""
        lit = self.look().lit
        return bool(lit) and math.dist(middle(lit), start) >= distance

    def drift_speed(self, why):
        """The ship's speed in pixels a second, from two whole sightings a tenth of a second apart."""
        first = self.alone(why)
        first_seen = time.monotonic()
        time.sleep(0.1)
        second = self.alone(why)
        return math.dist(first.centre, second.centre) / (time.monotonic() - first_seen)

    def pair(self, centre):
        """Two bullets off the ship, apart (each lights one to four pixels)."""
        bullets = self.beyond(centre)
        return 2 <= len(bullets) <= 8 and max(math.dist(a, b) for a in bullets for b in bullets) > 9

    def steady(self, why):
        """The ship alone and no longer turning: two sightings five frames apart at one heading."""
        def unchanged():
            first = self.ship()
            time.sleep(5 * FRAME)
            second = self.ship()
            return first and second and abs(turn_between(first.heading, second.heading)) < 2 and second

        ship = poll(unchanged)
        expect(ship, why + ": the ship alone, no longer turning", ship_in(self.seen) or self.lit_count())
        return ship


def start_picture(game):
    game.driver.start()
    game.centred("at start", heading=180)


def resize(game):
    size = game.driver.resize()
    game.centred("resized to %dx%d" % size, heading=180)


def turned_by(game, press, release, why):
    """Degrees the ship turned, counter-clockwise positive, over a press of 5 frames' time, then 10, then 20 until
    it turns: a turn of 5 degrees a frame read only from screens taken slowly could be past half a turn, and tell
    the wrong way. The press is held over the frames, never a tap."""
    before = game.alone("before " + why).heading
    for frames in (5, 10, 20):
        press()
        time.sleep(frames * FRAME)
        release()
        turned = turn_between(before, game.steady(why + " let go").heading)
        if abs(turned) >= 5:
            break
    return turned


def turns(game):
    for key, sense, way in (("Left", 1, "counter-clockwise"), ("Right", -1, "clockwise")):
        def press():
            game.driver.key_down(key)

        def release():
            game.driver.key_up(key)

        turned = turned_by(game, press, release, key)
        expect(turned * sense > 0, key + " to turn the ship " + way, "%.0f degrees" % turned)


# A pair crosses a small playfield in a fifth of a second, which a screen read slowly under load can miss: a
# volley not seen is fired again, a few times, before the game is found not to fire.
TRIES = 3


def fired_seen(game, volley, why):
    """Fires volleys (each returns whether its pair was seen) until one is seen, TRIES at the most."""
    for attempt in range(TRIES):
        seen = volley()
        game.alone("the pair flown off, nothing left behind", 5)
        if seen:
            return
        print("no pair seen: %s again" % why)
    expect(False, "%s to fire a pair of bullets, apart, in %d tries" % (why, TRIES), "no pair")


def shield(game):
    centre = game.alone("before the shield").centre

    def shield_shows():
        return len(game.beyond(centre, SHIP_RADIUS - 1)) > 100

    def volley():
        game.driver.key_down("Down")
        expect(poll(shield_shows), "Down held to show the shield", game.lit_count())
        game.driver.key_down("space")
        fired = poll(lambda: game.beyond(centre, SHIP_RADIUS + 8), 0.5)
        expect(not fired, "Space to fire nothing while the shield is up", fired)
        # Space is still down and has fired nothing, so the shield let down lets its pair go: proof the game saw it.
        game.driver.key_up("Down")
        seen = poll(lambda: game.pair(centre), 2)
        game.driver.key_up("space")
        return seen

    fired_seen(game, volley, "the shield let down with Space held")


def fires_pair(game):
    centre = game.alone("before Space").centre

    def volley():
        game.driver.key_down("space")
        seen = poll(lambda: game.pair(centre), 2)
        game.driver.key_up("space")
        return seen

    fired_seen(game, volley, "Space")


def thrust_crosses_edge(game):
    # Up in short pushes until the ship drifts fast enough to cross the playfield in a few seconds: how far a push
    # carries it depends on how many frames it spans, which the machine's load decides.
    for push in range(20):
        start = game.alone("before a push of Up").centre
        game.hold("Up", lambda: game.moved(start, 5), "Up held to move the ship")
        if game.drift_speed("after a push of Up") >= 60:
            break
    last = game.alone("drifting")
    end = time.monotonic() + 20
    while time.monotonic() < end:
        ship = game.ship()
        if ship and wrapped(last.centre, ship.centre, game.driver.outer_size()):
            return
        last = ship or last
    expect(False, "the drifting ship to cross an edge and show whole on the other side within 20 s",
           "it last whole at %s" % (last.centre,))


def wrapped(before, after, size):
    """Whether a ship moved between two sightings by more than half the playfield: around an edge."""
    return any(abs(a - b) > side / 2 for a, b, side in zip(before, after, size))


def esc_ends(game):
    game.driver.key_down("Escape")
    try:
        poll(lambda: game.driver.status() is not None, 5)
    finally:
        game.driver.key_up("Escape")
    expect(game.driver.status() == 0, "Esc to end the game with status 0", "status %s" % game.driver.status())


STEPS = (start_picture, resize, turns, shield, fires_pair, thrust_crosses_edge, esc_ends)


def play(driver, steps=STEPS):
    """Each step (by default every step every player takes), but those the driver declares it cannot do."""
    game = Game(driver)
    for step in steps:
        reason = driver.skips.get(step.__name__)
        if reason:
            print("%s skipped: %s" % (step.__name__, reason))
            continue
        began = time.monotonic()
        step(game)
        print("%s passed in %.1f s" % (step.__name__, time.monotonic() - began))
    return game
