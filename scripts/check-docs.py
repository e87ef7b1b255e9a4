#!/usr/bin/python3
"""Checks that pages give the keys and the exit statuses of docs/usage.txt word for word:
each entry's name followed by what it does, whatever the markup around them (Markdown
tables, man page requests, HTML, --help's columns and wrapped lines).
Usage: scripts/check-docs.py [PAGE...]: the pages listed below, then each PAGE given (a
built man page, or a program, whose --help is read) for every section."""
import html
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Pages in the source tree, each with the sections of docs/usage.txt it must give.
# The web page has no window to close and no exit status: Esc starts over there.
PAGES = {"README.md": ("keys", "exit status"), "platform/web/index.html": ("keys",)}
NOT_ON = {"platform/web/index.html": {"Esc"}}


def entries():  # {section: [(name, text)]}
    found, section = {}, None
    for line in open(os.path.join(ROOT, "docs", "usage.txt")):
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = found.setdefault(line[1:-1], [])
        elif line and not line.startswith("#"):
            parts = [part.strip() for part in line.split("|")]  # a controller's column or none
            section.append((parts[0], " ".join(parts[1:])))
    return found


def plain(text):  # the words alone, one space between them
    text = re.sub(r"<[^>]*>", " ", text)  # HTML tags
    text = re.sub(r"^\.[A-Za-z]+\b", " ", text, flags=re.M)  # troff requests
    text = re.sub(r"\\f[BIRP]|\\&", "", text).replace("\\-", "-").replace("\\e", "\\")
    text = html.unescape(text.replace("|", " ").replace("`", "").replace("**", ""))
    text = text.replace("[", " ").replace("]", " ")  # --help's and the man page's controller column
    return " ".join(text.split())


def read(page):
    path = os.path.join(ROOT, page)
    if os.access(path, os.X_OK) and not os.path.isdir(path) and open(path, "rb").read(4) == b"\x7fELF":
        return subprocess.run([path, "--help"], capture_output=True, text=True, timeout=10).stdout
    return open(path, encoding="utf-8").read()


def main():
    usage, failures = entries(), []
    pages = list(PAGES.items()) + [(page, tuple(usage)) for page in sys.argv[1:]]
    for page, sections in pages:
        text = plain(read(page))
        for section in sections:
            for name, does in usage[section]:
                if name in NOT_ON.get(page, ()):
                    continue
                if plain(name + " " + does) not in text:
                    failures.append("%s: no %s entry \"%s | %s\"" % (page, section, name, does))
    print("\n".join(failures) or "the keys and exit statuses agree with docs/usage.txt in " +
          ", ".join(page for page, _ in pages))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
