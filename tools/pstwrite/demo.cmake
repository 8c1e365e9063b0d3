# The demo store that scripts/run shows: written by pstwrite at build time into build/demo/demo.pst (no PST file
# is ever committed). Include after the pstwrite executable is defined; it needs the `pstwrite demo OUT` command.
if(TARGET pstwrite)
    set(MF_DEMO_PST ${CMAKE_BINARY_DIR}/demo/demo.pst)
    add_custom_command(OUTPUT ${MF_DEMO_PST}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/demo
        COMMAND pstwrite demo ${MF_DEMO_PST}
        DEPENDS pstwrite
        COMMENT "Writing the demo store"
        VERBATIM)
    add_custom_target(mf_demo_pst ALL DEPENDS ${MF_DEMO_PST})
endif()
