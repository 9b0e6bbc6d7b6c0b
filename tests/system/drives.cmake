# test_drives: drive information, the diskette test and diskette clearing, and
# directories named by a drive root. test_freespace: the space functions
# against the file system's own counts.
# Each runs in a Wine prefix of its own, where drive-prefix.sh maps drive
# letters to temporary folders for each run (the emulator is set for these
# targets only); for test_freespace the folders are on a file system of the
# run's own (--own-disk).
function(add_drives_test name)
    cmake_parse_arguments(D "OWN_DISK" "" "SOURCES" ${ARGN})
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_SOURCE_DIR}/drive-prefix.sh)
    if(D_OWN_DISK)
        list(APPEND CMAKE_CROSSCOMPILING_EMULATOR --own-disk)
    endif()
    list(APPEND CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_BINARY_DIR}/${name}-wineprefix)
    add_wine_test(${name} SOURCES ${D_SOURCES} drivetest.cpp LIBS fllhost_core)
endfunction()
add_drives_test(test_drives
    SOURCES test_drives.cpp test_diskette.cpp test_floppy_steps.cpp test_drivespace.cpp
            test_rootdirs.cpp)
add_drives_test(test_freespace OWN_DISK SOURCES test_freespace.cpp)
