# Fails when a source file under DIR includes a Qt header or mentions a Qt type.
file(GLOB_RECURSE sources "${DIR}/*.h" "${DIR}/*.cpp")
set(bad "")
foreach(f IN LISTS sources)
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|qt[^>\"]*/)")
    if(hits)
        list(APPEND bad "${f}: ${hits}")
    endif()
endforeach()
if(bad)
    list(JOIN bad "\n" text)
    message(FATAL_ERROR "${TARGET} must not use Qt (it is built and tested without the window "
                        "system):\n${text}")
endif()
