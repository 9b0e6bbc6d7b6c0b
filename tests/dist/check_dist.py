#!/usr/bin/env python3
"""Runs tools/dist from a build's deliverables into a temporary folder and
checks what it made:

- the CD folder: autorun.exe as built, an autorun.inf (CRLF) that starts it,
  gives the icon, label and AutoPlay text, Setup/ with exactly the two setup
  programs (Windows programs; tests/setup runs them), Documents/ with an
  index.html;
- the ISO image, read back with xorriso: autorun.exe and autorun.inf at its
  root, the two setup programs in Setup, the volume label, and a Joliet
  volume descriptor (read from the image's own bytes);
- the release archive marvo32-VERSION.zip: its file list (the compiled help
  file marvo32.chm among them), VERSION as in extlib/version.rc, the
  libraries byte for byte as built;
- the HTML pages of Documents and of the archive's reference: every relative
  link leads to a file, every #anchor to an id on its page, no link still
  names a .md file, and every page can be reached from index.html.

    check_dist.py SOURCE_DIR OUT_DIR
"""
import html.parser
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
import zipfile

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.links, self.ids = [], set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("id", "name") and value:
                self.ids.add(value)
            if name in ("href", "src") and value:
                self.links.append(value)


def check_pages(folder, what):
    pages = {p.name: p for p in folder.glob("*.html")}
    check("index.html" in pages, f"{what}: no index.html")
    parsed = {name: Page() for name in pages}
    for name, page in parsed.items():
        page.feed(pages[name].read_text(encoding="utf-8"))
    reached, todo = set(), ["index.html"]
    while todo:
        name = todo.pop()
        if name in reached or name not in parsed:
            continue
        reached.add(name)
        for link in parsed[name].links:
            url = urllib.parse.urlparse(link)
            if url.scheme in ("http", "https", "mailto"):
                continue
            target = urllib.parse.unquote(url.path) or name
            check(not target.endswith(".md"), f"{what}/{name}: link to Markdown {link}")
            check((folder / target).is_file(), f"{what}/{name}: broken link {link}")
            if url.fragment and target in parsed:
                check(url.fragment in parsed[target].ids,
                      f"{what}/{name}: no anchor for {link}")
            if target.endswith(".html"):
                todo.append(target)
    check(reached == set(pages), f"{what}: pages not reached from index.html: "
          f"{sorted(set(pages) - reached)}")
    return pages


def joliet(iso):
    """True when the image has a Supplementary Volume Descriptor with a
    Joliet escape sequence (ECMA-119 8.5, Joliet: %/@, %/C or %/E)."""
    data = iso.read_bytes()
    for sector in range(16, 32):
        d = data[sector * 2048:(sector + 1) * 2048]
        if d[1:6] != b"CD001" or d[0] == 255:
            break
        if d[0] == 2 and d[88:91] in (b"%/@", b"%/C", b"%/E"):
            return True
    return False


def main(source, out):
    source, out = pathlib.Path(source), pathlib.Path(out)
    rc = (source / "extlib" / "version.rc").read_text()
    version = re.search(r'^#define VERSION_TEXT "([0-9.]+)"$', rc, re.M).group(1)
    work = pathlib.Path(tempfile.mkdtemp(prefix="marvo-dist-"))
    try:
        dist = work / "dist"
        subprocess.run([str(source / "tools" / "dist"), str(out), str(dist)], check=True)

        cd = dist / "cd"
        check((cd / "autorun.exe").read_bytes() == (out / "autorun.exe").read_bytes(),
              "cd/autorun.exe is not the one built")
        inf = (cd / "autorun.inf").read_bytes()
        check(b"\n" not in inf.replace(b"\r\n", b""), "autorun.inf: not CRLF")
        lines = inf.decode("ascii").split("\r\n")
        check(lines[0] == "[autorun]", "autorun.inf: no [autorun] section")
        keys = dict(l.split("=", 1) for l in lines[1:] if "=" in l)
        check(keys.get("open") == "autorun.exe", "autorun.inf: open")
        check(keys.get("icon", "").split(",")[0] == "autorun.exe", "autorun.inf: icon")
        check(keys.get("label"), "autorun.inf: label")
        check(keys.get("action"), "autorun.inf: action")
        programs = {"setup_velmora_sdk_lite_sk.exe", "setup_velmora_sdk_lite_en.exe"}
        setup = {p.name for p in (cd / "Setup").iterdir()}
        check(setup == programs, f"Setup holds {sorted(setup)}, not the two setup programs")
        for program in programs & setup:
            check((cd / "Setup" / program).read_bytes()[:2] == b"MZ", f"Setup/{program}: no program")
        pages = check_pages(cd / "Documents", "Documents")
        md = {p.stem for p in (source / "docs" / "reference").glob("*.md")}
        wanted = {("index" if m == "README" else m) + ".html" for m in md}
        check(wanted <= set(pages), f"Documents: missing {sorted(wanted - set(pages))}")

        iso = dist / "velmora-cd.iso"
        listing = subprocess.run(["xorriso", "-indev", str(iso), "-ls", "/"], check=True,
                                 capture_output=True, text=True)
        root = {l.strip("'") for l in listing.stdout.split()}
        for name in ("autorun.exe", "autorun.inf", "Setup", "Documents"):
            check(name in root, f"ISO: no {name} at the root ({sorted(root)})")
        check("Volume id    : 'VELMORA'" in listing.stderr + listing.stdout, "ISO: volume label")
        check(joliet(iso), "ISO: no Joliet volume descriptor")
        listing = subprocess.run(["xorriso", "-indev", str(iso), "-ls", "/Setup"], check=True,
                                 capture_output=True, text=True)
        check(programs <= {l.strip("'") for l in listing.stdout.split()},
              f"ISO: Setup holds {listing.stdout.split()}")

        archive = dist / f"marvo32-{version}.zip"
        check(archive.is_file(), f"no {archive.name}")
        top = f"marvo32-{version}/"
        with zipfile.ZipFile(archive) as z:
            names = set(z.namelist())
            fixed = {"marvo32.fll", "marvo32w9.fll", "marvo32.h", "marvo32.chm", "README.txt"}
            examples = {"examples/" + p.name for p in (source / "examples").glob("*.prg")}
            reference = {"reference/" + p for p in wanted}
            inside = {n[len(top):] for n in names if n.startswith(top)}
            check(len(inside) == len(names), "zip: files outside " + top)
            check(fixed | examples | reference <= inside,
                  f"zip: missing {sorted((fixed | examples | reference) - inside)}")
            extra = inside - fixed - examples - reference
            check(all(n.startswith("reference/") for n in extra), f"zip: extra {sorted(extra)}")
            # The header once, beside the reference folder (its pages link
            # there); the list of imports the pages name, beside them.
            check("reference/marvo32.h" not in inside, "zip: the header twice")
            check("reference/imports.txt" in inside, "zip: no reference/imports.txt")
            for lib in ("marvo32.fll", "marvo32w9.fll"):
                check(z.read(top + lib) == (out / lib).read_bytes(), f"zip: {lib} not as built")
            check(version in z.read(top + "README.txt").decode("ascii"), "zip: read-me version")
            check(z.read(top + "marvo32.chm")[:4] == b"ITSF", "zip: marvo32.chm is no compiled help file")
            unpacked = work / "unpacked"
            z.extractall(unpacked)
        check_pages(unpacked / top / "reference", "zip reference")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    print("dist checked:", "failures" if failures else "all well")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
