# The contact settings a configure takes and those it refuses, each alone beside a
# good contact, checked as the configure checks them.
string(ASCII 59 semicolon)  # spelt out: in a list, a ; would split the item
string(ASCII 10 newline)
set(nExpected 0)
foreach(contact "NAME=Ann" "NAME=A#1${semicolon} C\\D" "MAIL=a#b@c.d"
                REFUSED "NAME=A\"B" "NAME=A>B" "NAME=A${newline}B" "MAIL=a b@c.d" "MAIL=a${semicolon}b@c.d" "MAIL=a\\b@c.d")
    if(contact STREQUAL REFUSED)
        set(nExpected 1)
        continue()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -DQB_CONTACT_NAME=Ann -DQB_CONTACT_MAIL=ann@example.org
                            "-DQB_CONTACT_${contact}" -P ${CMAKE_CURRENT_LIST_DIR}/../../cmake/Contact.cmake
                    RESULT_VARIABLE nResult OUTPUT_QUIET ERROR_QUIET)
    if(NOT nResult EQUAL nExpected)
        message(SEND_ERROR "QB_CONTACT_${contact}: ${nResult}, expected ${nExpected}")
    endif()
endforeach()
