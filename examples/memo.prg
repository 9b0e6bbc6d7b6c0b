* memo.prg - encrypt a memo field, store it back, and decrypt it again.
*
* A cursor with a memo field gets two records. Each memo is encrypted with a
* password and the sealed bytes are written back into the field; then each
* is decrypted again. The sealed text is exactly as long as the plain one:
* RC4 adds no header and no check value, so a wrong password is not
* detected - it simply gives other bytes.
#INCLUDE marvo32.h
SET LIBRARY TO marvo32.fll ADDITIVE

LOCAL lcPassword, laPlain[2]
lcPassword = "correct horse"
laPlain[1] = "Monday: the diskettes arrived."
laPlain[2] = "Tuesday: the CD went to the printer."

CREATE CURSOR diary (entry M)
APPEND BLANK
REPLACE entry WITH laPlain[1]
APPEND BLANK
REPLACE entry WITH laPlain[2]

* Seal every record and store the result back in the memo field.
GO TOP
DO WHILE NOT EOF()
    REPLACE entry WITH M_MENCRPTW(@entry, lcPassword)
    ? "Record", RECNO(), "sealed:", LEN(entry), "bytes, still readable:", ;
      entry == laPlain[RECNO()]
    SKIP
ENDDO

* Open them again; a wrong password gives other bytes and no error.
GO TOP
DO WHILE NOT EOF()
    ? "Record", RECNO(), "with a wrong password:", M_MDECRPTW(@entry, "wrong password") == laPlain[RECNO()]
    REPLACE entry WITH M_MDECRPTW(@entry, lcPassword)
    ? "Record", RECNO(), "opened:", entry
    SKIP
ENDDO
USE IN diary
