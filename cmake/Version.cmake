# FerixVersion: the header ferix/Version.h with the project's version, for --version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
               ${PROJECT_BINARY_DIR}/generated/ferix/Version.h @ONLY)
add_library(FerixVersion INTERFACE)
target_include_directories(FerixVersion INTERFACE ${PROJECT_BINARY_DIR}/generated)
