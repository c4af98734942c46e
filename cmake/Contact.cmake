# Refuses a contact that cannot stand in the error report as the build puts it
# there: a C++ string in a compile definition, which " and \ would break and
# CMake would split at ;, and the address in < > after the name. Also run alone
# (cmake -DQB_CONTACT_NAME=... -DQB_CONTACT_MAIL=... -P) by the unit tests.
if(QB_CONTACT_NAME MATCHES "[\"\\;<>]" OR NOT QB_CONTACT_MAIL MATCHES "^[^\"\\;<> ]+@[^\"\\;<> ]+$")
    message(FATAL_ERROR "QB_CONTACT_NAME may hold no \", \\, ;, < or >; "
                        "QB_CONTACT_MAIL must be one address, without them or blanks")
endif()
