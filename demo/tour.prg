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
