# The vCard writer read back by independent readers: every contact of the sample files and of the test fixtures,
# in all three targets, printed by `mailferry show` and parsed by Python's vobject (Debian's python3-vobject)
# and by ical.js, the parser Thunderbird uses (installed from npm into the build folder on first use).

# Debian's interpreter, which has the python3-* packages, whatever else is first on the PATH.
find_program(MF_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_test(NAME vcard_independent_readers
    COMMAND ${MF_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/vcard_readers.py
        --mailferry $<TARGET_FILE:mailferry> --dump $<TARGET_FILE:mf_reader_dump>
        --corpus ${MF_SHARED_DIR}/corpus --work ${CMAKE_CURRENT_BINARY_DIR}/vcard-readers
        --npm-prefix ${CMAKE_BINARY_DIR}/npm)
