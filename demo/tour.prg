* A short tour of marvo32.fll, run by the stand-in host (make demo).
SET LIBRARY TO marvo32
? "marvo32.fll: 70 functions for Visual FoxPro, here driven by fllhost"
?
? "Checksums of texts (CRC-16/ARC and CRC-32, as zlib computes it):"
? '  M_STRCRC16("123456789") =', M_STRCRC16("123456789")
? '  M_STRCRC32("123456789") =', M_STRCRC32("123456789")
? '  M_STRCRC32("a")         =', M_STRCRC32("a")
? '  M_STRCRC32(0h00FF00)    =', M_STRCRC32(0h00FF00)
?
? "Checksums of files: the same bytes in a file give the same values."
file = GETENV("TEMP") + "\tour-check.txt"
= STRTOFILE("123456789", file)
? "  M_FCRC16(file) =", M_FCRC16(file)
? "  M_FCRC32(file) =", M_FCRC32(file)
ERASE file
? "  A file that is not there raises host error 104:"
? M_FCRC32("no-such-file.txt")
?
? "Encryption with a password (RC4, as long as the text):"
secret = M_ENCRPTW("Velmora", "password")
? "  M_ENCRPTW:", STRCONV(secret, 15)
? "  M_DECRPTW:", M_DECRPTW(secret, "password")
?
? "The session key of M_CRPTINIT serves the X variants until M_CRPTQUIT:"
? "  M_CRPTINIT:", M_CRPTINIT("password")
? "  M_ENCRPTWX:", STRCONV(M_ENCRPTWX("Velmora"), 15), "(as M_ENCRPTW gave)"
? "  M_DECRPTWX:", M_DECRPTWX(M_ENCRPTWX("Velmora"))
? "  A memo with a zero byte goes through whole:"
= MAKETABLE(1, 1)
REPLACE notes WITH "abc" + CHR(0) + "def"
REPLACE notes WITH M_MECRPTWX(@notes)
? "  ", LEN(notes), "bytes sealed,", STRCONV(M_MDCRPTWX(@notes), 15), "back"
? "  Files, chunk by chunk; the session key opens what the password sealed:"
plain = GETENV("TEMP") + "\tour-plain.txt"
sealed = GETENV("TEMP") + "\tour-sealed.bin"
opened = GETENV("TEMP") + "\tour-opened.txt"
= STRTOFILE("A file of the product CD", plain)
? "  M_FENCRPTW:", M_FENCRPTW(plain, sealed, "password"), LEN(FILETOSTR(sealed)), "bytes"
? "  M_FDCRPTWX:", M_FDCRPTWX(sealed, opened), FILETOSTR(opened)
ERASE plain
ERASE sealed
ERASE opened
? "  M_CRPTQUIT twice:", M_CRPTQUIT(), M_CRPTQUIT()
?
? "Drives: a bit per drive letter (bit 0 A:, bit 2 C:), and the sizes of C:"
? "  M_DRIVES()       =", M_DRIVES()
? '  M_DRVTYPE("C")   =', M_DRVTYPE("C"), "(3: a fixed disk that takes a new file)"
? '  M_DRVFREEX("C:") =', M_DRVFREEX("C:"), "bytes free"
? '  M_DRVFREE("C:")  =', M_DRVFREE("C:"), "(the same in 32 bits, modulo 2^32)"
?
? "Keyboard, pause, directories, shell and adapters:"
? "  M_MKEYBID(27, 1) =", M_MKEYBID(27, 1), "  M_GETKEYB() =", M_GETKEYB()
? "  Esc held now:", M_ESC(), "  Ctrl and Esc:", M_KEY2(17, 27)
? "  M_SLEEP(-1) is no pause:", M_SLEEP(-1)
folder = GETENV("TEMP") + "\tour-folder\"
? "  M_MKDIR twice, then M_RMDIR:", M_MKDIR(folder), M_MKDIR(folder), M_RMDIR(folder)
= M_MKDIR(folder)
= STRTOFILE("shell copy", folder + "a.txt")
? "  M_SHFCOPY, silent (flags 1556):", M_SHFCOPY(folder + "a.txt", folder + "b.txt", "", 1556), FILETOSTR(folder + "b.txt")
? "  M_SHFDEL of the folder:", M_SHFDEL(folder, 0, "", 1556), FILE(folder + "a.txt")
? "  M_MACADAPW:", M_MACADAPW()
? "  M_MACNBIOW:", M_MACNBIOW()
?
? "Index position: 1000 records in a shuffled index order, 367th in that order"
= MAKETABLE(2, 1000, "shuffled 7")
SELECT 2
GO TOP
SKIP 366
? "  record", RECNO(), "  M_IDXNO(2) =", M_IDXNO(2), "  M_IDXNOF(2) =", M_IDXNOF(2), "  the table stays on", RECNO()
? "  M_ISKIP(2, -17) =", M_ISKIP(2, -17), "  M_IGOTOP(2) =", M_IGOTOP(2), "  M_ISKIP(2, 1000) =", M_ISKIP(2, 1000), "  EOF:", EOF()
?
? "The library's banner, shown for one second:"
= M_INFO(1)
