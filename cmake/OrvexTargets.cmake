# Shared compile settings of every target, and the rule that keeps Qt out of the
# window-system-free libraries.

set(ORVEX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)

if(NOT ORVEX_SANITIZE)
    # an ordinary build
elseif(ORVEX_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(ORVEX_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
else()
    message(FATAL_ERROR "ORVEX_SANITIZE must be empty, 'address' or 'thread'")
endif()

function(orvex_target_settings target)
    target_compile_options(${target} PRIVATE ${ORVEX_WARNINGS})
    if(ORVEX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A library of the device link or of the database must build without the window system.
# Qt is not on its include path, and before every build its sources are scanned, so a Qt
# include fails the build with a message that says why.
function(orvex_no_qt_library target dir)
    orvex_target_settings(${target})
    add_custom_target(${target}_no_qt
        COMMAND ${CMAKE_COMMAND} -DDIR=${dir} -DTARGET=${target}
                -P ${PROJECT_SOURCE_DIR}/cmake/CheckNoQt.cmake
        COMMENT "Checking that ${target} includes no Qt header")
    add_dependencies(${target} ${target}_no_qt)
endfunction()
