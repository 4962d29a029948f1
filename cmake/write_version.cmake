# Writes the header that names this build's version: the project version, and
# the commit when the sources are a git checkout. Run at every build (cmake -P);
# the header is rewritten only when its text changes, so an unchanged commit
# rebuilds nothing and a new one recompiles the one file that includes it.
#
# Inputs: SOURCE_DIR, OUTPUT, VERSION.

set(commit "")
if(EXISTS "${SOURCE_DIR}/.git")
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(
            # No optional locks: a build must not hold the index a git command
            # running beside it wants to write.
            COMMAND "${GIT_EXECUTABLE}" --no-optional-locks -C "${SOURCE_DIR}"
                    describe --always --dirty --abbrev=12
            OUTPUT_VARIABLE commit
            OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE status
            ERROR_QUIET)
        if(NOT status EQUAL 0)
            # Not a usable checkout (git refuses a repository owned by another
            # user, say): the version alone is still right.
            set(commit "")
        endif()
    endif()
endif()

if(commit STREQUAL "")
    set(MODEM_VERSION_TEXT "${VERSION}")
else()
    set(MODEM_VERSION_TEXT "${VERSION} (git ${commit})")
endif()
configure_file("${CMAKE_CURRENT_LIST_DIR}/version_info.h.in" "${OUTPUT}" @ONLY)
