# The man pages (scdoc) and the HTML manual (pandoc), built from docs/man and docs/manual and
# installed. FERIX_DOCS: AUTO builds them when the tools are there, ON requires the tools,
# OFF leaves them out.
set(FERIX_DOCS AUTO CACHE STRING "Build the man pages and the HTML manual (AUTO, ON, OFF)")
set_property(CACHE FERIX_DOCS PROPERTY STRINGS AUTO ON OFF)

if(NOT FERIX_DOCS STREQUAL "OFF")
    find_program(SCDOC_EXECUTABLE scdoc)
    find_program(PANDOC_EXECUTABLE pandoc)
    if(NOT SCDOC_EXECUTABLE OR NOT PANDOC_EXECUTABLE)
        if(FERIX_DOCS STREQUAL "ON")
            message(FATAL_ERROR "FERIX_DOCS=ON needs scdoc and pandoc (scripts/install-deps)")
        endif()
        message(STATUS "scdoc or pandoc missing: the man pages and the manual are not built")
    else()
        add_subdirectory(${PROJECT_SOURCE_DIR}/docs ${PROJECT_BINARY_DIR}/docs)
    endif()
endif()
