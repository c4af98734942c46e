# The contact settings a configure refuses, each alone beside a good contact
# (the first, which it takes), checked as the configure checks them.
string(ASCII 59 semicolon)  # spelt out: in a list, a ; would split the item
set(nExpected 0)
foreach(contact "NAME=Ann" "NAME=A\\B" "NAME=A>B" "NAME=A${semicolon}B" "MAIL=a b@c.d")
    execute_process(COMMAND ${CMAKE_COMMAND} -DQB_CONTACT_NAME=Ann -DQB_CONTACT_MAIL=ann@example.org
                            "-DQB_CONTACT_${contact}" -P ${CMAKE_CURRENT_LIST_DIR}/../../cmake/Contact.cmake
                    RESULT_VARIABLE nResult OUTPUT_QUIET ERROR_QUIET)
    if(NOT nResult EQUAL nExpected)
        message(SEND_ERROR "QB_CONTACT_${contact}: ${nResult}, expected ${nExpected}")
    endif()
    set(nExpected 1)
endforeach()
