# The version and the git commit the programs are built from, in a generated header. The commit is read on every
# build, and the header is rewritten only when its text changes: a new commit rebuilds one file, an unchanged one
# nothing.
set(TARVISK_BUILD_INFO_DIR ${PROJECT_BINARY_DIR}/generated)
set(TARVISK_BUILD_INFO_HEADER ${TARVISK_BUILD_INFO_DIR}/build_info.h)
find_package(Git QUIET)
add_custom_target(tarvisk_build_info
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${TARVISK_BUILD_INFO_HEADER}
        -DVERSION=${PROJECT_VERSION} "-DGIT=${GIT_EXECUTABLE}" -P ${CMAKE_CURRENT_LIST_DIR}/write_build_info.cmake
    BYPRODUCTS ${TARVISK_BUILD_INFO_HEADER}
    COMMENT "Reading the git commit"
    VERBATIM)
