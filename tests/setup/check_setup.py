#!/usr/bin/python3
"""The setup programs of the CD, run silently under Wine the way a user or an
administrator would, and what they leave checked from outside.

    check_setup.py CASE SOURCE_DIR OUT_DIR WORK

WORK is the fixture's folder (prepare.sh): WORK/dist is what tools/dist laid
out, WORK/template-wineprefix the prefix each case copies. Every case runs in
a temporary folder of its own with a Wine prefix of its own in it (the
template's program files hard-linked, everything else copied) and its drive
D: shown onto a folder there; no Linux desktop entries are made (Wine's menu
builder is off) and HOME is the temporary folder. A Slovak setup runs in the
Slovak locale (code page 1250), as on a Slovak Windows.

Cases:
  install   English /S /D= into a folder with a blank: exit status 0, exactly
            the release folder's files plus the uninstaller, byte for byte as
            built (libraries, header, samples, reference pages, help file);
            the Add/Remove Programs entry's values; the Start-menu links and
            their targets, read from the .lnk files.
  upgrade   Slovak install, a file changed and the user's files added, the
            Slovak setup again without /D (the same folder: an upgrade in
            place), the English one over it (its links replace the Slovak
            ones), then the quiet uninstall from the entry: nothing of ours
            left but the user's files; a second uninstall does no harm.
  quoted    both setups given the folder quoted, around the option
            ("/D=D:\\A B") and around the folder (/D="D:\\A B"), as scripts
            write it: installed there, nothing in the default folder; a
            quoted folder that cannot be made: status 2, nothing written.
  codepage  the Slovak setup installed under code page 1250 and its
            uninstaller run under 1252 (the user switched the system
            locale): the links and the group go all the same.
  failures  a folder that cannot be made (a file in its way) and a disk that
            fills up midway (a file size limit below the library's size): a
            status of 2 and nothing of ours left behind (over an earlier
            installation, which the setup removes first, neither it nor the
            new files; the user's own file stays).
  chm       marvo32.chm read back with chmlib (not the tool that wrote it):
            home page, contents, every function of the library's table in
            the index pointing at its own section, in the binary index, and
            found by full-text search.
  programs  both setup programs: 32-bit GUI programs for Windows 4.0 (95)
            and later that import no Unicode function, carrying the version.
"""
import os
import pathlib
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile

failures = []

SETUPS = {"sk": "setup_velmora_sdk_lite_sk.exe", "en": "setup_velmora_sdk_lite_en.exe"}
LOCALES = {"sk": "sk_SK.UTF-8", "en": "C.UTF-8"}
CODEPAGES = {"sk": 1250, "en": 1252}
LINKS = {
    "sk": {"Referenčná príručka marvo32.lnk": "marvo32.chm",
           "Ukážkové programy.lnk": "examples",
           "Odinštalovať Velmora SDK Lite.lnk": "uninstall.exe"},
    "en": {"marvo32 Reference.lnk": "marvo32.chm",
           "Sample Programs.lnk": "examples",
           "Uninstall Velmora SDK Lite.lnk": "uninstall.exe"},
}
UNINSTALL_KEY = r"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora SDK Lite"
# Program files of the template that a case may share (hard links): Wine
# never writes them. Everything else is copied.
SHARED = {".dll", ".exe", ".drv", ".sys", ".acm", ".ocx", ".cpl", ".tlb", ".ax", ".ds",
          ".ttf", ".fon", ".nls", ".mui", ".msstyles", ".vxd", ".com", ".dat"}


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


# ---- A machine of the case's own -----------------------------------------------------

class Machine:
    """A Windows machine of one locale: a Slovak one (code page 1250) or an
    English one (1252). A machine keeps its code page, and an ANSI program's
    file names (the links' names) depend on it."""

    def __init__(self, template, language):
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="marvo-setup-"))
        self.prefix = self.root / "prefix"
        self.disk = self.root / "disk"  # drive D:
        self.home = self.root / "home"
        self.disk.mkdir()
        self.home.mkdir()
        clone(template, self.prefix)
        (self.prefix / "dosdevices" / "d:").symlink_to(self.disk)
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d",
                        HOME=str(self.home), XDG_DATA_HOME=str(self.home / "data"),
                        XDG_CONFIG_HOME=str(self.home / "config"))
        self.env.pop("DISPLAY", None)
        self.env["LC_ALL"] = LOCALES[language]
        self.codepage = CODEPAGES[language]
        self.log = open(self.root / "wine.log", "ab")

    def run(self, program, args, file_size_limit=None):
        """Runs a Windows program and waits for it and for everything it
        started (the uninstaller goes on in a copy of itself): the prefix's
        wineserver ends when its last program has. Answers the exit status.
        Wine's services keep their output open: it goes to a file."""
        env = self.env

        def limit():
            if file_size_limit:
                # A disk that fills up: writes past the limit fail (EFBIG)
                # instead of ending the program with SIGXFSZ.
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))

        if file_size_limit:
            # The wineserver (it writes the registry) starts without the limit,
            # and apart from this script's output.
            subprocess.run(["wineserver", "-p"], env=env, check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine quotes an argument that holds a blank, and NSIS takes /D= and
        # _?= only unquoted: the blanks of a folder are left between arguments.
        argv = ["wine", program]
        for a in args:
            argv += a.split(" ") if a.startswith(("/D=", "_?=")) else [a]
        status = subprocess.run(argv, env=env, preexec_fn=limit, stdin=subprocess.DEVNULL,
                                stdout=self.log, stderr=self.log).returncode
        if file_size_limit:
            subprocess.run(["wineserver", "-k"], env=env)
        subprocess.run(["wineserver", "-w"], env=env, stdout=self.log, stderr=self.log)
        return status

    def run_line(self, line):
        """Runs a command line exactly as written, quotes and all, as a script
        or PowerShell passes it (Wine would quote and escape arguments of its
        own): from a batch file, which cmd runs and waits for."""
        batch = self.disk / "run.bat"
        batch.write_bytes(f"@{line}\r\n@exit %ERRORLEVEL%\r\n".encode())
        status = subprocess.run(["wine", "cmd", "/c", self.windows_path(batch)], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=self.log,
                                stderr=self.log).returncode
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=self.log, stderr=self.log)
        batch.unlink()
        return status

    def windows_path(self, path):
        return "D:\\" + str(pathlib.Path(path).relative_to(self.disk)).replace("/", "\\")

    @property
    def group(self):
        return (self.prefix / "drive_c" / "ProgramData" / "Microsoft" / "Windows" / "Start Menu"
                / "Programs" / "Velmora SDK Lite")

    def registry_entry(self):
        """The values of the product's Add/Remove Programs entry as the
        registry file holds them (read after the wineserver has ended), or
        None without the key."""
        return registry_key(self.prefix / "system.reg", UNINSTALL_KEY)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env)
        self.log.close()
        shutil.rmtree(self.root, ignore_errors=True)


def clone(template, prefix):
    for folder, dirs, files in os.walk(template):
        rel = pathlib.Path(folder).relative_to(template)
        (prefix / rel).mkdir(parents=True, exist_ok=True)
        for name in dirs + files:
            source, target = pathlib.Path(folder) / name, prefix / rel / name
            if source.is_symlink():
                target.symlink_to(os.readlink(source))
                if name in dirs:
                    dirs.remove(name)
            elif name in files:
                shared = (rel.as_posix() + "/").startswith("drive_c/windows/") and \
                    source.suffix.lower() in SHARED
                if shared:
                    os.link(source, target)
                else:
                    shutil.copy2(source, target)


def reg_unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x":
                m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def registry_key(path, key):
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    header = "[" + key + "]"
    values, inside = None, False
    for line in lines:
        if line.startswith("["):
            inside = line.split("]")[0] + "]" == header
            if inside:
                values = {}
            continue
        if not inside or not line.startswith('"'):
            continue
        m = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
        name, raw = reg_unescape(m.group(1)), m.group(2)
        if raw.startswith('"'):
            values[name] = reg_unescape(raw[1:-1])
        elif raw.startswith("dword:"):
            values[name] = int(raw[6:], 16)
        else:
            values[name] = raw
    return values


# ---- Shell links ---------------------------------------------------------------------

def link_target(path):
    """The target of a shell link (.lnk, MS-SHLLINK): the local base path of
    its LinkInfo (the Unicode one where the header has it), with the common
    path suffix."""
    data = path.read_bytes()
    if data[:4] != b"\x4c\x00\x00\x00" or len(data) < 0x4C:
        return None
    flags = struct.unpack_from("<I", data, 0x14)[0]
    pos = 0x4C
    if flags & 0x1:  # HasLinkTargetIDList
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    if not flags & 0x2:  # HasLinkInfo
        return None
    info = data[pos:]
    size, header, info_flags = struct.unpack_from("<III", info, 0)
    if not info_flags & 0x1:  # VolumeIDAndLocalBasePath
        return None
    base_offset, _, suffix_offset = struct.unpack_from("<III", info, 16)

    def ansi(offset):
        end = info.index(b"\0", offset)
        return info[offset:end].decode("cp1252")

    def wide(offset):
        end = offset
        while info[end:end + 2] != b"\0\0":
            end += 2
        return info[offset:end].decode("utf-16-le")

    base, suffix = ansi(base_offset), ansi(suffix_offset)
    if header >= 0x24:
        base_w, suffix_w = struct.unpack_from("<II", info, 28)
        base, suffix = wide(base_w), wide(suffix_w)
    return base + suffix


# ---- What the setup installs -----------------------------------------------------------

def files_under(folder):
    return {str(p.relative_to(folder)): p for p in folder.rglob("*") if p.is_file()}


def check_installed(machine, folder, release, language, source, out, pages, setup_program):
    """The installed folder holds exactly the release folder's files and the
    uninstaller, as built, and the entry and the links are in place."""
    what = f"{language} install"
    installed = files_under(folder)
    wanted = set(files_under(release)) | {"uninstall.exe"}
    check(set(installed) == wanted,
          f"{what}: files differ: missing {sorted(wanted - set(installed))}, "
          f"extra {sorted(set(installed) - wanted)}")
    for name, path in files_under(release).items():
        if name in installed:
            check(installed[name].read_bytes() == path.read_bytes(), f"{what}: {name} differs")
    # The release folder itself is what was built and written.
    same = {"marvo32.fll": out / "marvo32.fll", "marvo32w9.fll": out / "marvo32w9.fll",
            "marvo32.h": source / "include" / "marvo32.h"}
    same.update({f"examples/{p.name}": p for p in (source / "examples").glob("*.prg")})
    same.update({f"reference/{p.name}": p for p in pages.iterdir()})
    for name, path in same.items():
        check(name in installed and installed[name].read_bytes() == path.read_bytes(),
              f"{what}: {name} is not the one built")
    check(installed.get("uninstall.exe") and installed["uninstall.exe"].read_bytes()[:2] == b"MZ",
          f"{what}: no uninstaller")
    # Every file the installed pages link to is installed, the header once
    # (beside the reference folder), the list of imports beside the pages.
    check("reference/marvo32.h" not in installed, f"{what}: the header is installed twice")
    check("reference/imports.txt" in installed, f"{what}: no reference/imports.txt")
    for name, path in installed.items():
        if not name.endswith(".html"):
            continue
        for target in re.findall(r'(?:href|src)="([^"#:]+)', path.read_text(encoding="utf-8")):
            linked = os.path.normpath(os.path.join(os.path.dirname(name), target))
            check(linked in installed, f"{what}: {name} links to {target}, not installed")
    # The uninstaller is the setup's own program head: test_imports checks
    # the setup programs' imports against docs/imports.txt, so this one's
    # must be the same.
    if installed.get("uninstall.exe"):
        setup = pathlib.Path(setup_program).read_bytes()
        check(pe_imports(installed["uninstall.exe"].read_bytes())[3] == pe_imports(setup)[3],
              f"{what}: the uninstaller imports other functions than the setup")

    entry = machine.registry_entry()
    if not check(entry is not None, f"{what}: no Add/Remove Programs entry"):
        return
    rc = (source / "extlib" / "version.rc").read_text()
    version = re.search(r'^#define VERSION_TEXT "([0-9.]+)"$', rc, re.M).group(1)
    menu = (source / "startmenu" / "menu.h").read_text()
    host = re.search(r'kWebHost\[\] = "([^"]+)"', menu).group(1)
    path = re.search(r'kWebPath\[\] = "([^"]+)"', menu).group(1)
    win = machine.windows_path(folder)
    expected = {
        "DisplayName": "Velmora SDK Lite",
        "DisplayVersion": version,
        "Publisher": "Danubia Soft",
        "URLInfoAbout": f"http://{host}{path}",
        "InstallLocation": win,
        "UninstallString": f'"{win}\\uninstall.exe"',
        "QuietUninstallString": f'"{win}\\uninstall.exe" /S',
        "DisplayIcon": f"{win}\\uninstall.exe,0",
        "NoModify": 1,
        "NoRepair": 1,
        # the code page the links were named in: the machine's
        "LinkCodePage": machine.codepage,
    }
    for name, value in expected.items():
        check(entry.get(name) == value, f"{what}: entry {name} is {entry.get(name)!r}, not {value!r}")
    total = sum(p.stat().st_size for p in files_under(release).values())
    size = entry.get("EstimatedSize", 0)
    check(total <= size * 1024 <= total + 64 * 1024,
          f"{what}: EstimatedSize {size} KiB for {total} bytes of files")
    check(set(entry) <= set(expected) | {"EstimatedSize"}, f"{what}: other values {sorted(entry)}")

    check_links(machine, folder, language)


def check_links(machine, folder, language):
    what = f"{language} links"
    group = machine.group
    links = {p.name: p for p in group.iterdir()} if group.is_dir() else {}
    check(set(links) == set(LINKS[language]),
          f"{what}: {sorted(links)} instead of {sorted(LINKS[language])}")
    win = machine.windows_path(folder)
    for name, target in LINKS[language].items():
        if name in links:
            got = link_target(links[name])
            check(got == f"{win}\\{target}", f"{what}: {name} leads to {got!r}")


def nothing_of_ours(machine, what):
    check(machine.registry_entry() is None, f"{what}: the Add/Remove Programs entry is left")
    check(not machine.group.exists(), f"{what}: the Start-menu group is left")
    programs = machine.prefix / "drive_c" / "Program Files" / "Danubia Soft"
    check(not programs.exists(), f"{what}: {programs} exists")


# ---- Cases ---------------------------------------------------------------------------------

def case_install(m, ctx):
    folder = m.disk / "Velmora Lite"
    status = m.run(ctx.setup("en"), ["/S", f"/D={m.windows_path(folder)}"])
    check(status == 0, f"install: exit status {status}")
    check_installed(m, folder, ctx.release, "en", ctx.source, ctx.out, ctx.pages, ctx.setup("en"))
    programs = m.prefix / "drive_c" / "Program Files" / "Danubia Soft"
    check(not programs.exists(), "install: /D= was not followed")


def case_upgrade(m, ctx):
    folder = m.disk / "Velmora Lite"
    status = m.run(ctx.setup("sk"), ["/S", f"/D={m.windows_path(folder)}"])
    check(status == 0, f"upgrade: first Slovak install: exit status {status}")
    check_installed(m, folder, ctx.release, "sk", ctx.source, ctx.out, ctx.pages, ctx.setup("sk"))

    # The user's own files, one beside ours in a folder of ours; a file of
    # ours changed (an older build, say).
    mine = {folder / "moje poznámky.txt": b"moje\r\n", folder / "examples" / "mine.prg": b"? 1\r\n"}
    for path, data in mine.items():
        path.write_bytes(data)
    (folder / "marvo32.fll").write_bytes(b"MZ older")

    # Again, without /D: the earlier installation's folder.
    status = m.run(ctx.setup("sk"), ["/S"])
    check(status == 0, f"upgrade: Slovak over Slovak: exit status {status}")
    check((folder / "marvo32.fll").read_bytes() == (ctx.out / "marvo32.fll").read_bytes(),
          "upgrade: marvo32.fll not replaced in place")
    check(not (m.prefix / "drive_c" / "Program Files" / "Danubia Soft").exists(),
          "upgrade: installed into the default folder, not over the earlier installation")
    check_links(m, folder, "sk")

    # The English setup over the Slovak installation.
    status = m.run(ctx.setup("en"), ["/S"])
    check(status == 0, f"upgrade: English over Slovak: exit status {status}")
    installed = set(files_under(folder))
    wanted = set(files_under(ctx.release)) | {"uninstall.exe"} | {
        str(p.relative_to(folder)) for p in mine}
    check(installed == wanted, f"upgrade: files {sorted(installed ^ wanted)} differ")
    check_links(m, folder, "en")
    entry = m.registry_entry() or {}
    check(entry.get("InstallLocation") == m.windows_path(folder), "upgrade: entry's folder")

    # The quiet uninstall, as Add/Remove Programs would run it.
    saved = m.disk / "saved-uninstall.exe"
    shutil.copyfile(folder / "uninstall.exe", saved)
    quiet = entry.get("QuietUninstallString", "")
    match = re.match(r'^"([^"]+)" (/S)$', quiet)
    if check(match, f"upgrade: QuietUninstallString {quiet!r}"):
        status = m.run(match.group(1), [match.group(2)])
        check(status == 0, f"upgrade: uninstall: exit status {status}")
    left = set(files_under(folder))
    wanted_left = {str(p.relative_to(folder)) for p in mine}
    check(left == wanted_left, f"upgrade: after uninstalling, {sorted(left)} left, "
          f"not only the user's {sorted(wanted_left)}")
    for path, data in mine.items():
        check(path.is_file() and path.read_bytes() == data, f"upgrade: {path.name} touched")
    check(not (folder / "reference").exists(), "upgrade: reference folder left")
    nothing_of_ours(m, "upgrade: after uninstalling")

    # A second uninstall (a copy kept from before) does no harm.
    status = m.run(str(saved), ["/S", f"_?={m.windows_path(folder)}"])
    check(status == 0, f"upgrade: second uninstall: exit status {status}")
    check(set(files_under(folder)) == wanted_left, "upgrade: second uninstall removed the user's files")
    nothing_of_ours(m, "upgrade: after a second uninstall")

    # With the user's files gone, the folder goes too.
    for path in mine:
        path.unlink()
    status = m.run(str(saved), ["/S", f"_?={m.windows_path(folder)}"])
    check(status == 0, f"upgrade: third uninstall: exit status {status}")
    left = sorted(str(p.relative_to(m.disk)) for p in folder.rglob("*")) if folder.exists() else []
    check(not folder.exists(), f"upgrade: folders of ours left: {left or folder}")


def case_quoted(m, ctx):
    folder = m.disk / "Velmora Lite"
    win = m.windows_path(folder)
    blocker = m.disk / "blocker"
    blocker.write_bytes(b"in the way")
    for language in ("sk", "en"):
        setup = m.disk / SETUPS[language]
        shutil.copyfile(ctx.setup(language), setup)
        for option in (f'"/D={win}"', f'/D="{win}"'):
            what = f"quoted: {language} {option}"
            status = m.run_line(f'"{m.windows_path(setup)}" /S {option}')
            check(status == 0, f"{what}: exit status {status}")
            check((folder / "marvo32.fll").is_file(), f"{what}: nothing installed in {win}")
            check(not (m.prefix / "drive_c" / "Program Files" / "Danubia Soft").exists(),
                  f"{what}: installed into the default folder")
            entry = m.registry_entry() or {}
            check(entry.get("InstallLocation") == win, f"{what}: entry's folder "
                  f"{entry.get('InstallLocation')!r}")
            status = m.run(str(folder / "uninstall.exe"), ["/S"])
            check(status == 0 and not folder.exists(), f"{what}: uninstall left {folder}")
            nothing_of_ours(m, f"{what}: after uninstalling")
        refused = f'"/D={m.windows_path(blocker)}\\Velmora Lite"'
        before = sorted(p.name for p in m.disk.iterdir())
        status = m.run_line(f'"{m.windows_path(setup)}" /S {refused}')
        check(status == 2, f"quoted: {language} {refused}: exit status {status}, not 2")
        check(sorted(p.name for p in m.disk.iterdir()) == before,
              f"quoted: {language} {refused}: something was written")
        nothing_of_ours(m, f"quoted: {language} {refused}")
        setup.unlink()


def case_codepage(m, ctx):
    folder = m.disk / "Velmora Lite"
    status = m.run(ctx.setup("sk"), ["/S", f"/D={m.windows_path(folder)}"])
    check(status == 0, f"codepage: Slovak install: exit status {status}")
    check_links(m, folder, "sk")
    m.env["LC_ALL"] = LOCALES["en"]
    status = m.run(str(folder / "uninstall.exe"), ["/S"])
    check(status == 0, f"codepage: uninstall under code page 1252: exit status {status}")
    left = sorted(p.name for p in m.group.iterdir()) if m.group.is_dir() else []
    check(not left, f"codepage: links left: {left}")
    nothing_of_ours(m, "codepage: after uninstalling under code page 1252")
    check(not folder.exists(), f"codepage: {folder} left")


def case_failures(m, ctx):
    # A file where a folder on the way should be: the folder cannot be made.
    blocker = m.disk / "blocker"
    blocker.write_bytes(b"in the way")
    before = sorted(p.name for p in m.disk.iterdir())
    status = m.run(ctx.setup("en"), ["/S", f"/D={m.windows_path(blocker)}\\Velmora Lite"])
    check(status not in (0, None), "failures: a folder that cannot be made gave exit status 0")
    check(sorted(p.name for p in m.disk.iterdir()) == before, "failures: something was written")
    check(blocker.read_bytes() == b"in the way", "failures: the blocking file changed")
    nothing_of_ours(m, "failures: folder that cannot be made")

    # The disk fills up on the library, the largest file: after the folder,
    # the uninstaller (about 110 KiB), the entry and the files before it
    # (the read-me and the help file) were written.
    library = (ctx.out / "marvo32.fll").stat().st_size
    limit = library - 4096
    before = max((ctx.release / n).stat().st_size for n in ("README.txt", "marvo32.chm"))
    if not check(limit > max(before, 192 * 1024), f"failures: marvo32.fll ({library} bytes) is "
                 "too small to stand for the file that fills the disk"):
        return
    folder = m.disk / "Velmora Lite"
    status = m.run(ctx.setup("sk"), ["/S", f"/D={m.windows_path(folder)}"], limit)
    check(status == 2, f"failures: full disk, fresh install: exit status {status}, not 2")
    check(not folder.exists(), f"failures: full disk, fresh install: left "
          f"{sorted(files_under(folder)) if folder.exists() else ''}")
    nothing_of_ours(m, "failures: full disk, fresh install")

    # Over an earlier installation: the setup removes it first with its own
    # uninstaller, then fails; nothing of either is left, the user's file is.
    status = m.run(ctx.setup("sk"), ["/S", f"/D={m.windows_path(folder)}"])
    check(status == 0, f"failures: install: exit status {status}")
    mine = folder / "moje.txt"
    mine.write_bytes(b"moje")
    status = m.run(ctx.setup("en"), ["/S"], limit)
    check(status == 2, f"failures: full disk over an installation: exit status {status}, not 2")
    check(set(files_under(folder)) == {"moje.txt"} and mine.read_bytes() == b"moje",
          f"failures: full disk over an installation: {sorted(files_under(folder))} left")
    nothing_of_ours(m, "failures: full disk over an installation")


def case_chm(ctx):
    from chm import chm  # python3-chm: chmlib's reader
    names = re.findall(r'\{"(M_[A-Z0-9_]+)"', (ctx.source / "extlib" / "host" / "table.cpp").read_text())
    check(len(names) == 70, f"chm: {len(names)} functions in table.cpp, not 70")
    path = ctx.release / "marvo32.chm"
    f = chm.CHMFile()
    if not check(f.LoadCHM(str(path).encode()), "chm: chmlib cannot open marvo32.chm"):
        return

    def read(name):
        found, item = f.ResolveObject(name.encode())
        if found != 0:
            return None
        return f.RetrieveObject(item)[1]

    check(f.home == b"/index.html", f"chm: home page {f.home!r}")
    pages = {p.name for p in ctx.pages.glob("*.html")}
    contents = (read(f.topics.decode()) or b"").decode("utf-8")
    for page in pages:
        check(read("/" + page) is not None, f"chm: no {page}")
        check(f'value="{page}"' in contents, f"chm: {page} not in the contents")

    index = (read(f.index.decode()) or b"").decode("utf-8")
    entries = dict(re.findall(r'<param name="Name" value="([^"]*)">\s*'
                              r'<param name="Local" value="([^"]*)">', index))
    binary = read("/$WWKeywordLinks/BTree") or b""
    for name in names:
        local = entries.get(name)
        if not check(local, f"chm: {name} not in the index"):
            continue
        page, _, anchor = local.partition("#")
        text = (read("/" + page) or b"").decode("utf-8")
        check(re.search(rf'<h[23] id="{re.escape(anchor)}">{name}</h[23]>', text),
              f"chm: the index entry of {name} leads to {local}, no section of it there")
        check(f'value="{local}"' in contents, f"chm: {name} not in the contents")
        check(name.encode("utf-16-le") in binary, f"chm: {name} not in the binary index")
        # The search splits words at the underscore: the name without M_.
        ok, hits = f.Search(name[2:].lower().encode())
        check(ok and page.encode() in hits.values(), f"chm: searching {name[2:]} misses {page}")
    ok, hits = f.Search(b"cryptoapi")
    check(ok and b"encryption.html" in hits.values(), "chm: full-text search")

    # The help viewer's window: one window type (#WINDOWS: a count, the size
    # of an entry, the entries; names are offsets into #STRINGS) with the
    # three panes and the search tab, and the contents and index files.
    windows, strings = read("/#WINDOWS") or b"", read("/#STRINGS") or b""

    def string(offset):
        return strings[offset:strings.index(b"\0", offset)].decode("latin-1")

    if check(len(windows) >= 8 + 0x70 and struct.unpack_from("<I", windows)[0] >= 1,
             "chm: no window definition"):
        entry = windows[8:]
        panes, = struct.unpack_from("<I", entry, 0x10)
        check(panes & 0x20 and panes & 0x400,
              f"chm: window panes {panes:#x}: not three panes with a search tab")
        toc, index_file, default = struct.unpack_from("<III", entry, 0x60)
        check((string(toc), string(index_file), string(default)) ==
              ("marvo32.hhc", "marvo32.hhk", "index.html"),
              f"chm: the window shows {string(toc)!r}, {string(index_file)!r}, {string(default)!r}")


def pe_imports(data):
    """(minimum OS version, subsystem, machine, imported names) of a PE file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    sections, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    os_major = struct.unpack_from("<H", data, opt + 40)[0]
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    import_rva = struct.unpack_from("<I", data, opt + 104)[0]
    table = []
    for i in range(sections):
        s = opt + opt_size + 40 * i
        vsize, va, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
        table.append((va, max(vsize, rsize), raw))

    def at(rva):
        for va, size, raw in table:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(rva)

    def cstr(offset):
        return data[offset:data.index(b"\0", offset)].decode("ascii")

    names, d = [], at(import_rva)
    while True:
        lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", data, d)
        if not name_rva:
            break
        t = at(lookup or thunk)
        while True:
            entry = struct.unpack_from("<I", data, t)[0]
            if not entry:
                break
            if not entry & 0x80000000:
                names.append(cstr(at(entry) + 2))
            t += 4
        d += 20
    return os_major, subsystem, machine, names


def case_programs(ctx):
    rc = (ctx.source / "extlib" / "version.rc").read_text()
    version = re.search(r'^#define VERSION_TEXT "([0-9.]+)"$', rc, re.M).group(1)
    for language, name in SETUPS.items():
        data = pathlib.Path(ctx.setup(language)).read_bytes()
        os_major, subsystem, machine, names = pe_imports(data)
        check(machine == 0x14C, f"{name}: machine {machine:#x}, not i386")
        check(subsystem == 2, f"{name}: subsystem {subsystem}, not GUI")
        check(os_major <= 4, f"{name}: needs Windows {os_major}")
        check(len(names) > 50, f"{name}: only {len(names)} imports read")
        wide = [n for n in names if n.endswith("W") and n not in ("MultiByteToWideChar",)]
        check(not wide, f"{name}: imports Unicode functions {wide}")
        check(version.encode("utf-16-le") in data, f"{name}: no version {version} in its resources")
        check("Danubia Soft".encode("utf-16-le") in data, f"{name}: no publisher in its resources")


class Context:
    def __init__(self, source, out, work):
        self.source, self.out, self.work = pathlib.Path(source), pathlib.Path(out), pathlib.Path(work)
        self.dist = self.work / "dist"
        releases = sorted((self.dist / "release").glob("marvo32-*"))
        self.release = releases[0] if releases else self.dist / "release" / "missing"
        self.template = self.work / "template-wineprefix"
        self.pages = None

    def machine(self, language):
        return Machine(self.template, language)

    def setup(self, language):
        return str(self.dist / "cd" / "Setup" / SETUPS[language])


def main(case, source, out, work):
    ctx = Context(source, out, work)
    if case == "chm":
        with tempfile.TemporaryDirectory(prefix="marvo-chm-") as pages:
            ctx.pages = pathlib.Path(pages)
            subprocess.run([str(ctx.source / "tools" / "mkdocs"), pages], check=True,
                           stdout=subprocess.DEVNULL)
            case_chm(ctx)
    elif case == "programs":
        case_programs(ctx)
    else:
        # The English setup on an English machine; the upgrade and the
        # failures on a Slovak one, where both setups run.
        machine = ctx.machine("en" if case == "install" else "sk")
        try:
            # The reference pages as tools/mkdocs makes them, to compare with.
            ctx.pages = machine.root / "pages"
            subprocess.run([str(ctx.source / "tools" / "mkdocs"), "--above", "marvo32.h",
                            str(ctx.pages)], check=True, stdout=subprocess.DEVNULL)
            {"install": case_install, "upgrade": case_upgrade, "quoted": case_quoted,
             "codepage": case_codepage, "failures": case_failures}[case](machine, ctx)
        finally:
            machine.close()
    for f in failures:
        print("FAIL:", f)
    print(f"setup {case}:", "failures" if failures else "all well")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
