# ferix_string_table(<target> <deliverable>)
# Compiles resources/<deliverable>/*.txt into the string table that <target> embeds and exports
# under the symbol the language library looks for.
function(ferix_string_table target deliverable)
    ferix_string_table_from(${target} ${deliverable} ${PROJECT_SOURCE_DIR}/resources/${deliverable})
endfunction()

# ferix_string_table_from(<target> <name> <folder>): the same for the sources in <folder>.
function(ferix_string_table_from target name folder)
    file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.txt)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}StringTable.cpp)
    add_custom_command(
        OUTPUT ${out}
        COMMAND rescomp ${out} ${sources}
        DEPENDS rescomp ${sources}
        COMMENT "Compiling the ${name} string table for ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
endfunction()

# ferix_main_program(<target> <deliverable>)
# <target> is a main program with the string table of <deliverable>. It exports only the
# function that hands the table out (nothing else of it can interpose on a loaded library),
# and it loads the language library at run time.
function(ferix_main_program target deliverable)
    ferix_string_table(${target} ${deliverable})
    target_link_options(${target} PRIVATE
        "-Wl,--dynamic-list=${PROJECT_SOURCE_DIR}/cmake/StringTableExport.list")
    add_dependencies(${target} Localizing)
endfunction()
