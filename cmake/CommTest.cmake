# ferix_comm_test(<name> <sources>...)
# A GoogleTest program for the communication control. It embeds the control's string table as
# its own (it is the main program), so messages are looked up exactly as inside the library.
function(ferix_comm_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE FerixCommCore SimSupport GTest::gtest_main)
    ferix_main_program(${name} FerixComm)
    gtest_discover_tests(${name})
endfunction()
