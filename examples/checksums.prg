* checksums.prg - the CRC-32 and CRC-16 of every file in a folder.
*
* Makes a folder of sample files in the temporary folder, lists each file
* with its size and both checksums, and removes the folder again. Point
* lcFolder at a folder of your own (ending in a backslash) and leave out the
* sample files to check your files instead. Keep the list: when a file's
* checksums change, so did the file.
#INCLUDE marvo32.h
SET LIBRARY TO marvo32.fll ADDITIVE

LOCAL lcFolder, lnCount, lnFile, lcFile, laFiles[1]
lcFolder = GETENV("TEMP") + "\marvo-checksums\"
= M_MKDIR(lcFolder)
= STRTOFILE("123456789", lcFolder + "digits.txt")
= STRTOFILE("The quick brown fox jumps over the lazy dog", lcFolder + "fox.txt")
= STRTOFILE(0h00FF, lcFolder + "two-bytes.bin")
= STRTOFILE("", lcFolder + "empty.txt")

lnCount = ADIR(laFiles, lcFolder + "*.*")
? PADR("File", 14), PADL("Bytes", 6), " CRC-32     ", "CRC-16"
FOR lnFile = 1 TO lnCount
    lcFile = lcFolder + laFiles[lnFile, 1]
    ? PADR(laFiles[lnFile, 1], 14), TRANSFORM(laFiles[lnFile, 2], "999999"), ;
      TRANSFORM(M_FCRC32(lcFile), "@0"), TRANSFORM(M_FCRC16(lcFile), "@0")
ENDFOR
? lnCount, "files"

FOR lnFile = 1 TO lnCount
    ERASE (lcFolder + laFiles[lnFile, 1])
ENDFOR
= M_RMDIR(lcFolder)
