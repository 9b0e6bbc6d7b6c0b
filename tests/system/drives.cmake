# test_drives: drive information, the diskette test and diskette clearing, and
# directories named by a drive root.
# It runs in a Wine prefix of its own, where drive-prefix.sh maps drive letters
# to temporary folders for each run (the emulator is set for this target only).
function(add_drives_test)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_CURRENT_SOURCE_DIR}/drive-prefix.sh ${CMAKE_CURRENT_BINARY_DIR}/drives-wineprefix)
    add_wine_test(test_drives
        SOURCES test_drives.cpp test_diskette.cpp test_floppy_steps.cpp test_drivespace.cpp
                test_rootdirs.cpp drivetest.cpp
        LIBS fllhost_core)
endfunction()
add_drives_test()
