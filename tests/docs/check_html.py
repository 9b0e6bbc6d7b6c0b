#!/usr/bin/python3
"""Makes the HTML reference with tools/mkdocs into a fresh folder and checks
that its pages link to each other without a broken link: every relative link
and stylesheet leads to a file that was made, every #anchor to an id of its
page, no link still points at a .md file, and every page is reachable from
index.html.

    check_html.py MKDOCS OUTDIR
"""
import html.parser
import pathlib
import shutil
import subprocess
import sys
import urllib.parse


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.links = []
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id":
                self.ids.add(value)
            if name in ("href", "src") and value:
                self.links.append(value)


def parse(path):
    parser = Links()
    parser.feed(path.read_text(encoding="utf-8"))
    return parser


def main(mkdocs, outdir):
    outdir = pathlib.Path(outdir)
    shutil.rmtree(outdir, ignore_errors=True)
    subprocess.run([mkdocs, str(outdir)], check=True)
    pages = {p.name: parse(p) for p in outdir.glob("*.html")}
    problems = []
    if "index.html" not in pages:
        problems.append("no index.html")
    for name, page in sorted(pages.items()):
        for link in page.links:
            parts = urllib.parse.urlsplit(link)
            if parts.scheme or parts.netloc:
                continue
            target = parts.path or name
            if target.endswith(".md"):
                problems.append(f"{name}: link to Markdown {link}")
            elif not (outdir / target).is_file():
                problems.append(f"{name}: broken link {link}")
            elif parts.fragment and target in pages and parts.fragment not in pages[target].ids:
                problems.append(f"{name}: no anchor for {link}")
    reached, todo = set(), ["index.html"]
    while todo:
        name = todo.pop()
        if name in reached or name not in pages:
            continue
        reached.add(name)
        todo += [urllib.parse.urlsplit(l).path for l in pages[name].links]
    for name in sorted(set(pages) - reached):
        problems.append(f"{name}: not reachable from index.html")
    if len(pages) < 11:
        problems.append(f"only {len(pages)} pages")
    for problem in problems:
        print(problem)
    print(f"{len(pages)} pages, {sum(len(p.links) for p in pages.values())} links, "
          f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
