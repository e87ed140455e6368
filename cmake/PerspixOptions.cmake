# One interface target that carries the language level, warnings and strict Qt defines
# for every target of the project.
add_library(perspix_options INTERFACE)
target_compile_features(perspix_options INTERFACE cxx_std_20)
target_compile_options(perspix_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(perspix_options INTERFACE
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER)

option(PERSPIX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(PERSPIX_SANITIZE)
    target_compile_options(perspix_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(perspix_options INTERFACE -fsanitize=address,undefined)
endif()

option(PERSPIX_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
if(PERSPIX_SANITIZE_THREAD)
    target_compile_options(perspix_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(perspix_options INTERFACE -fsanitize=thread)
endif()

# Rebuilds in a second checkout of the same sources (a worktree, a CI clone) reuse the
# objects of the first when ccache is installed.
find_program(PERSPIX_CCACHE ccache)
if(PERSPIX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    set(CMAKE_C_COMPILER_LAUNCHER ${PERSPIX_CCACHE})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${PERSPIX_CCACHE})
endif()
