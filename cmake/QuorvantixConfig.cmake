# One interface target carries the language level, warnings, sanitizers and
# Qt safety macros for every library and executable of the project.
add_library(quorvantix_config INTERFACE)
target_compile_features(quorvantix_config INTERFACE cxx_std_20)
target_include_directories(quorvantix_config INTERFACE "${PROJECT_SOURCE_DIR}")
target_compile_options(quorvantix_config INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(quorvantix_config INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_USE_QSTRINGBUILDER
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QV_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    QV_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    QV_VERSION_PATCH=${PROJECT_VERSION_PATCH}
    QV_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})

set(QV_SANITIZE "")
if(ENABLE_ASAN)
    list(APPEND QV_SANITIZE address)
endif()
if(ENABLE_UBSAN)
    list(APPEND QV_SANITIZE undefined)
endif()
if(ENABLE_TSAN)
    if(ENABLE_ASAN)
        message(FATAL_ERROR "ENABLE_TSAN cannot be combined with ENABLE_ASAN")
    endif()
    list(APPEND QV_SANITIZE thread)
endif()
if(QV_SANITIZE)
    list(JOIN QV_SANITIZE "," QV_SANITIZE_LIST)
    target_compile_options(quorvantix_config INTERFACE
        -fsanitize=${QV_SANITIZE_LIST} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(quorvantix_config INTERFACE -fsanitize=${QV_SANITIZE_LIST})
endif()

# In the fuzz build every library carries libFuzzer's coverage instrumentation,
# so the fuzz targets see the parsers they link; only the targets link the driver.
if(QV_BUILD_FUZZ)
    target_compile_options(quorvantix_config INTERFACE -fsanitize=fuzzer-no-link)
endif()

# qv_add_library(NAME DIR <dir> [GLOB_SUBDIR <sub>] LIBS ...): one static library
# per source folder, its sources found by glob so adding a class needs no edit here.
function(qv_add_library name)
    cmake_parse_arguments(ARG "" "DIR" "LIBS" ${ARGN})
    file(GLOB _srcs CONFIGURE_DEPENDS "${ARG_DIR}/*.cpp" "${ARG_DIR}/*.h")
    add_library(${name} STATIC ${_srcs})
    target_link_libraries(${name} PUBLIC quorvantix_config ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()
