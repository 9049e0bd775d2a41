#!/usr/bin/env python3
"""Checks the operator's manual: every page parses, every link and picture it
names is there (anchors included), every picture is a PNG, and the English
and Russian pages have the same sections.

Usage: check_manual.py MANUAL_FOLDER
"""
import html.parser
import os
import sys
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids = set()
        self.targets = []  # (attribute, value)
        self.sections = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
            if tag == "h2":
                self.sections.append(attrs["id"])
        for name in ("href", "src"):
            if name in attrs:
                self.targets.append((tag, attrs[name]))


def read(path):
    page = Page()
    with open(path, encoding="utf-8") as f:
        page.feed(f.read())
    return page


def main():
    folder = sys.argv[1]
    pages = {}
    for language in ("en", "ru"):
        path = os.path.join(folder, language, "index.html")
        if not os.path.isfile(path):
            sys.exit("no page " + path)
        pages[path] = read(path)
    problems = []
    for path, page in pages.items():
        for tag, target in page.targets:
            parts = urllib.parse.urlsplit(target)
            if parts.scheme:
                problems.append("%s: %s points outside the manual" % (path, target))
                continue
            file = os.path.normpath(os.path.join(os.path.dirname(path), parts.path)) if parts.path else path
            if not os.path.isfile(file):
                problems.append("%s: %s is missing" % (path, target))
                continue
            if tag == "img":
                with open(file, "rb") as f:
                    if f.read(8) != b"\x89PNG\r\n\x1a\n":
                        problems.append("%s: %s is not a PNG" % (path, target))
            if parts.fragment:
                if file not in pages:
                    pages[file] = read(file)
                if parts.fragment not in pages[file].ids:
                    problems.append("%s: %s names no section" % (path, target))
    english, russian = (pages[os.path.join(folder, language, "index.html")] for language in ("en", "ru"))
    if english.sections != russian.sections:
        problems.append("the English and Russian pages have different sections: %s / %s"
                        % (english.sections, russian.sections))
    for problem in problems:
        print(problem)
    print("manual: %d pages, %d links and pictures, %d problems"
          % (2, sum(len(p.targets) for p in list(pages.values())[:2]), len(problems)))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
