# The page's own checks on a desktop browser and on the phone, played after player.play() on their drivers
# (browsers.py), judged as player.py judges, from the browser's own screenshots.
import json
import math
import time
from dataclasses import dataclass

import PIL.Image  # Debian's python3-pil

import player
from web_page import CONTROLS, LANDSCAPE, PORTRAIT
from player import expect, play, poll


def stays(game, heading, why, seconds=0.3):
    """The ship alone at the heading in every sighting for the seconds given, and at least three."""
    end = time.monotonic() + seconds
    sightings = 0
    while sightings < 3 or time.monotonic() < end:
        ship = game.alone(why)
        turned = player.turn_between(heading, ship.heading)
        expect(abs(turned) < 2, "%s: the heading to stay at %.0f" % (why, heading), "%.0f" % ship.heading)
        sightings += 1


def quiet(game, centre, why, seconds=0.3):
    """Nothing but the ship lit in every sighting for the seconds given, and at least three."""
    end = time.monotonic() + seconds
    sightings = 0
    while sightings < 3 or time.monotonic() < end:
        beyond = game.beyond(centre)
        expect(not beyond, why, "%d pixels lit off the ship" % len(beyond))
        sightings += 1


def turned_from(game, heading):
    """The ship, once it has turned 15 degrees or more from the heading; else None."""
    ship = game.ship()
    if ship and abs(player.turn_between(heading, ship.heading)) >= 15:
        return ship
    return None


def expect_counter_clockwise(before, after, why):
    # Judged from the first sighting 15 degrees on: by the time a key is let go the ship may be past 180 degrees,
    # a screenshot taking longer than the frames of that turn.
    turn = player.turn_between(before.heading, after.heading)
    expect(turn > 0, why + " to turn the ship counter-clockwise", "%.0f degrees" % turn)


def hidden_shown(driver):
    """Another tab in front of the page's a while, then the page's in front again."""
    driver.hide_tab()
    expect(poll(lambda: driver.js("document.hidden")), "the page's tab hidden behind another", "it shown")
    driver.show_tab()
    expect(poll(lambda: not driver.js("document.hidden")), "the page's tab in front again", "it hidden")


# A control counts as shown when it takes room on the page and is not hidden.
SHOWN = "(e => e.getClientRects().length > 0 && getComputedStyle(e).visibility != 'hidden')"


def no_touch_controls(game):
    shown = game.driver.js("[...document.querySelectorAll('.pad [aria-label]')].filter(%s).map(e => e.ariaLabel)"
                           % SHOWN)
    expect(not shown, "no touch controls on a desktop with a mouse", shown)


def filled_page_fits(game):  # the shared script's resize filled the page with the canvas
    room = game.driver.js("[canvas.getBoundingClientRect().bottom, innerHeight]")
    expect(room[0] <= room[1], "the canvas filling the page whole in the window, its bottom within the window's",
           "%d of %d pixels" % tuple(room))


def ended_playfield(game):
    expect(game.driver.status() == 0, "the game ended by Esc", "status %s" % game.driver.status())

    def says_ended():
        capture = game.look()
        return len(capture.lit) > 300 and not player.ship_in(capture)

    expect(poll(says_ended), "the playfield to say the game has ended: more than 300 pixels lit, no ship",
           game.lit_count())


def new_game_on_a_key(game):
    game.hold("space", lambda: game.driver.status() is None, "a key to start a new game")
    game.centred("a new game", heading=180)
    picture = game.driver.picture()
    white = sum(1 for pixel in picture.getdata() if pixel == (255, 255, 255))
    print("figure: the start ship lights %d white pixels (153 expected)" % white)


def tab_hidden_lets_go(game):
    driver = game.driver
    before = game.alone("before Left").heading
    driver.key_down("Left")
    try:
        expect(poll(lambda: turned_from(game, before)), "Left held to turn the ship", game.lit_count())
        hidden_shown(driver)
        heading = game.steady("the tab shown again, Left still held").heading
        stays(game, heading, "Left let go by the page when its tab was hidden")
    finally:
        driver.key_up("Left")


WHITE_SQUARE = "const g = canvas.getContext('2d'); g.fillStyle = '#fff'; g.fillRect(5, 5, 30, 30);"


def tab_shown_repaints(game):
    driver = game.driver
    game.alone("before the square")
    driver.run(WHITE_SQUARE)  # in a corner, away from the ship: only a repaint of the whole canvas wipes it
    expect(poll(lambda: len(game.look().lit) > 900), "a white square drawn on the canvas to show", game.lit_count())
    hidden_shown(driver)
    game.alone("the tab in front again: the canvas repainted, the square gone")


# A controller, the page's second, its stick resting just inside the dead zone.
CONTROLLER = """window.pad = {connected: true, mapping: 'standard', axes: [0.2, -0.2, 0, 0],
                buttons: [...Array(17)].map(() => ({pressed: false, value: 0}))};
navigator.getGamepads = () => [null, pad];
dispatchEvent(new Event('gamepadconnected'));"""


def controller(game):
    driver = game.driver
    driver.run(CONTROLLER)

    def push_left():
        driver.js("pad.axes[0] = -1")

    def let_go():
        driver.js("pad.axes[0] = 0.25")  # not quite back to the middle

    turned = player.turned_by(game, push_left, let_go, "the stick pushed left")
    expect(turned > 0, "the stick pushed left to turn the ship counter-clockwise", "%.0f degrees" % turned)
    after = game.steady("the stick let go")
    driver.js("pad.buttons[0].pressed = true")
    expect(poll(lambda: game.pair(after.centre), 2), "A held to fire a pair", game.lit_count())
    game.alone("the pair flown off, A still held", 5)
    quiet(game, after.centre, "A held to fire no more than one pair")
    driver.js("pad.buttons[0].pressed = false")
    driver.js("pad.buttons[8].pressed = true")
    expect(poll(lambda: driver.status() == 0, 5), "Back to end the game", "status %s" % driver.status())


# Another script takes the canvas's 2D context, with the default alpha, before the page's own can.
TAKES_CANVAS = """new MutationObserver((_, watch) => {
  const canvas = document.getElementById('canvas');
  if (canvas) {
    canvas.getContext('2d');
    watch.disconnect();
  }
}).observe(document, {childList: true, subtree: true});"""


def canvas_taken_first(game):
    driver = game.driver
    driver.preload(TAKES_CANVAS)
    driver.start()
    alpha = driver.js("canvas.getContext('2d').getContextAttributes().alpha")
    expect(alpha, "the canvas taken first, with alpha", "a canvas without alpha: the page's own")
    game.centred("the canvas taken first", heading=180)
    player.turns(game)


PAGE_STEPS = (no_touch_controls, filled_page_fits, ended_playfield, new_game_on_a_key, tab_hidden_lets_go,
              tab_shown_repaints, controller, canvas_taken_first)


def page_scenario(driver):
    """The page's own checks on a desktop browser, after player.play() has played to Esc."""
    play(driver, PAGE_STEPS)
    expect(not driver.errors(), "no uncaught exception on the page", driver.errors())


@dataclass
class Box:
    left: float
    top: float
    right: float
    bottom: float

    def inside(self, width, height):
        return self.left >= 0 and self.top >= 0 and self.right <= width and self.bottom <= height

    def near(self, point, margin):
        x, y = point
        return self.left - margin < x < self.right + margin and self.top - margin < y < self.bottom + margin


SCREEN = ("({width: innerWidth, height: innerHeight, scale: visualViewport.scale, screenWidth: screen.width, "
          "scrollWidth: document.documentElement.scrollWidth, scrollHeight: document.documentElement.scrollHeight})")
BOXES = ("Object.fromEntries([...document.querySelectorAll('[aria-label]')].filter(%s).map(e => "
         "[e.getAttribute('aria-label'), (r => ({left: r.left, top: r.top, right: r.right, bottom: r.bottom}))"
         "(e.getBoundingClientRect())]))" % SHOWN)
PLAYFIELD_MIDDLE = "(r => [r.x + r.width / 2, r.y + r.height / 2])(canvas.getBoundingClientRect())"


def misfit(driver):
    """What keeps the page from fitting the screen with the controls clear of the ship's start; None if nothing."""
    screen = driver.js(SCREEN)
    if (screen["width"], screen["height"]) != (screen["scrollWidth"], screen["scrollHeight"]):
        return "a page to scroll: %s" % screen
    if screen["scale"] != 1 or screen["width"] != screen["screenWidth"]:
        return "a page zoomed or not at the device's width: %s" % screen
    boxes = {name: Box(**box) for name, box in driver.js(BOXES).items()}
    missing = [name for name in CONTROLS.values() if name not in boxes]
    if missing:
        return "controls not shown: %s" % missing
    off = [name for name in CONTROLS.values() if not boxes[name].inside(screen["width"], screen["height"])]
    if off:
        return "controls off the screen: %s" % off
    start = driver.js(PLAYFIELD_MIDDLE)
    over = [name for name in CONTROLS.values() if boxes[name].near(start, 21)]
    if over:
        return "controls within 21 px of the ship's start at %s: %s" % (start, over)
    return None


def fits(game, why, off_centre):
    """The page fits the screen, the controls shown and clear of the ship's start, the ship alone and centred
    within off_centre pixels (a turned ship's box is not symmetric about its centre)."""
    driver = game.driver
    expect(poll(lambda: misfit(driver) is None), why + ": the whole page on the screen at the device's width, "
           "unzoomed, with nothing to scroll, the controls shown and clear of the ship's start", misfit(driver))

    def centred():
        ship = game.ship()
        width, height = driver.outer_size()
        return ship and math.dist(ship.centre, (width // 2, height // 2)) <= off_centre

    expect(poll(centred), "%s: the ship alone within %s px of the middle" % (why, off_centre),
           player.ship_in(game.seen) or game.lit_count())


def fits_in_portrait(game):
    game.driver.orient(PORTRAIT)
    game.driver.start()  # a new game: play() left the ship turned and drifting
    fits(game, "in portrait", 0.5)


def pixels_whole(game):
    # The phone's screen as it is, 3x3 device pixels to each of the canvas's: each block one colour
    # (image-rendering: pixelated), their colours the picture the player judges by.
    driver = game.driver
    game.steady("a ship at rest")
    box = driver.canvas_box()
    shown = driver.device_picture(box)
    sampled = shown.resize((box.width, box.height), PIL.Image.Resampling.NEAREST)
    blocks = sampled.resize(shown.size, PIL.Image.Resampling.NEAREST)
    differ = sum(1 for a, b in zip(shown.getdata(), blocks.getdata()) if a != b)
    expect(differ == 0, "each canvas pixel shown as a block of one colour", "%d device pixels otherwise" % differ)
    expect(sampled.tobytes() == driver.picture().tobytes(), "the same picture sampled as shot at one to one",
           "another")


def finger_stays_on_fire(game):
    driver = game.driver
    centre = game.alone("before Fire").centre
    driver.touch_down("Fire")
    try:
        expect(poll(lambda: game.pair(centre), 2), "a finger on Fire to fire a pair", game.lit_count())
        game.alone("the pair flown off, the finger still on Fire", 5)
        quiet(game, centre, "a finger staying on Fire to fire no more than one pair")
    finally:
        driver.touch_up("Fire")


def tap_fires(game):
    centre = game.alone("before a tap").centre
    game.driver.tap("Fire")
    expect(poll(lambda: game.pair(centre), 2), "a tap on Fire, lifted before any frame could see it, to fire a pair",
           game.lit_count())
    game.alone("the pair flown off", 5)
    quiet(game, centre, "one tap to fire one pair")


def slid_off_lets_go(game):
    driver = game.driver
    before = game.alone("before Turn left").heading
    driver.touch_down("Turn left")
    try:
        expect(poll(lambda: turned_from(game, before)), "a finger on Turn left to turn the ship", game.lit_count())
        elsewhere = driver.js(PLAYFIELD_MIDDLE)
        driver.slide("Turn left", (round(elsewhere[0]), round(elsewhere[1])))
    finally:
        driver.touch_up("Turn left")
    after = game.steady("the finger slid off Turn left onto the playfield and lifted there")
    stays(game, after.heading, "the finger lifted off Turn left to let it go")


def fits_in_landscape(game):
    game.driver.orient(LANDSCAPE)
    fits(game, "turned to landscape", 5)


def two_fingers(game):
    # A finger on Turn left, then one on Thrust beside it: the ship moves, and still turns once Thrust lifts.
    driver = game.driver
    before = game.alone("before two fingers")
    driver.touch_down("Turn left")
    try:
        turned = poll(lambda: turned_from(game, before.heading))
        expect(turned, "a finger on Turn left to turn the ship", game.lit_count())
        expect_counter_clockwise(before, turned, "a finger on Turn left")
        driver.touch_down("Thrust")
        try:
            moved = poll(lambda: game.moved(before.centre, 15))
            expect(moved, "a finger on Thrust beside the one on Turn left to move the ship", game.lit_count())
        finally:
            driver.touch_up("Thrust")
        lifted = game.alone("Thrust lifted, Turn left held")
        still = poll(lambda: turned_from(game, lifted.heading))
        expect(still, "the finger on Turn left to turn the ship still, Thrust lifted beside it", game.lit_count())
        expect_counter_clockwise(lifted, still, "the finger on Turn left, Thrust lifted beside it")
    finally:
        driver.touch_up("Turn left")
    game.steady("both fingers lifted")


def manifest_reads(game):
    manifest = game.driver.cdp("Page.getAppManifest")
    expect(not manifest["errors"], "the web app manifest to read without errors", manifest["errors"])
    name = json.loads(manifest["data"]).get("name")
    expect(name == "Quillfane", "the manifest's name Quillfane", name)


def service_worker_active(game):
    def state():
        return game.driver.js("navigator.serviceWorker.getRegistration().then(r => r && r.active && r.active.state)")

    expect(poll(lambda: state() == "activated", 10), "the page's service worker active", state())


def plays_offline(game):
    driver = game.driver
    driver.programs.stop(driver.server)
    driver.start()
    fits(game, "opened again with the server stopped", 5)


PHONE_STEPS = (fits_in_portrait, pixels_whole, finger_stays_on_fire, tap_fires, slid_off_lets_go, fits_in_landscape,
               two_fingers, manifest_reads, service_worker_active, plays_offline)


def phone_scenario(driver):
    """The phone's own checks, after player.play() on it."""
    play(driver, PHONE_STEPS)
    expect(not driver.errors(), "no uncaught exception on the page", driver.errors())
