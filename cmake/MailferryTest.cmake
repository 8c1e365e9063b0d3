# mf_add_test(NAME name SOURCES ... LIBS ...): one GoogleTest executable per module, registered with CTest.
function(mf_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} mf_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "MF_SHARED_DIR=${MF_SHARED_DIR}")
endfunction()
