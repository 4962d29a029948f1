# Settings for the Windows build (cross-compiled with mingw-w64, see the
# toolchain files beside this one). Included from the top CMakeLists.txt.

# The Qt dialog is the Linux front end; Windows has its own in win32/. No
# benchmark library exists for the cross compiler.
set(ENABLE_GUI OFF CACHE BOOL "Build the Qt configurator" FORCE)
set(ENABLE_BENCHMARKS OFF CACHE BOOL "Build the benchmarks" FORCE)

enable_language(RC)

# Windows 7 and later; the wide-character API throughout.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX)

# Single-file programs: the C and C++ runtimes and winpthreads are linked in, so
# nothing but system DLLs is needed beside the .exe.
add_link_options(-static -static-libgcc -static-libstdc++)

# -O3 makes GCC 12 warn falsely about std::string internals (-Wrestrict), which
# -Werror turns into a failed build; -O2 is ample for these programs. Shipped
# programs carry no symbols.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
add_link_options($<$<CONFIG:Release>:-s>)

# nlohmann-json and CLI11 are header-only: the host's copies serve as they are.
# Only their own folders are exposed to the cross compiler, as the whole of the
# host's /usr/include would shadow the mingw C headers.
set(MODEM_HOST_INCLUDE /usr/include CACHE PATH "Where the host's header-only libraries are")
set(staged ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${staged})
foreach(dir nlohmann CLI)
    if(NOT EXISTS ${MODEM_HOST_INCLUDE}/${dir})
        message(FATAL_ERROR "${MODEM_HOST_INCLUDE}/${dir} is missing: install nlohmann-json3-dev and libcli11-dev")
    endif()
    file(CREATE_LINK ${MODEM_HOST_INCLUDE}/${dir} ${staged}/${dir} SYMBOLIC)
endforeach()

# Package configurations for find_package() that point at the staged headers.
function(modem_header_only_package package target version)
    set(dir ${CMAKE_BINARY_DIR}/host-packages/${package})
    file(WRITE ${dir}/${package}Config.cmake
        "if(NOT TARGET ${target})\n"
        "    add_library(${target} INTERFACE IMPORTED)\n"
        "    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${staged}\")\n"
        "endif()\n")
    file(WRITE ${dir}/${package}ConfigVersion.cmake
        "set(PACKAGE_VERSION ${version})\n"
        "if(PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION)\n"
        "    set(PACKAGE_VERSION_COMPATIBLE FALSE)\n"
        "else()\n"
        "    set(PACKAGE_VERSION_COMPATIBLE TRUE)\n"
        "endif()\n")
    set(${package}_DIR ${dir} CACHE PATH "" FORCE)
endfunction()

function(modem_header_version out header)
    file(STRINGS ${header} lines REGEX "#define [A-Z0-9_]+_VERSION_(MAJOR|MINOR|PATCH) +[0-9]+")
    set(parts)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ".*_VERSION_[A-Z]+ +([0-9]+).*" "\\1" n "${line}")
        list(APPEND parts ${n})
    endforeach()
    list(SUBLIST parts 0 3 parts)
    list(JOIN parts "." v)
    set(${out} ${v} PARENT_SCOPE)
endfunction()

modem_header_version(json_version ${MODEM_HOST_INCLUDE}/nlohmann/detail/abi_macros.hpp)
modem_header_version(cli11_version ${MODEM_HOST_INCLUDE}/CLI/Version.hpp)
modem_header_only_package(nlohmann_json nlohmann_json::nlohmann_json ${json_version})
modem_header_only_package(CLI11 CLI11::CLI11 ${cli11_version})

# GoogleTest, built for the target from the sources Debian ships.
if(ENABLE_TESTS)
    set(MODEM_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${MODEM_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock gmock_main)
        if(NOT TARGET GTest::${lib})
            add_library(GTest::${lib} ALIAS ${lib})
        endif()
    endforeach()
    # Test programs are listed when ctest runs them through the emulator, never
    # while they are linked: the build must not start Wine.
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
