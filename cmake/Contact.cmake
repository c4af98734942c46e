# Refuses a contact that cannot stand in the error report's form, "NAME" <MAIL>:
# the name in quotation marks, the address one address in < >, and neither broken
# over lines. Also run alone (cmake -DQB_CONTACT_NAME=... -DQB_CONTACT_MAIL=... -P)
# by the unit tests.
string(ASCII 1 first)
string(ASCII 31 last)
string(ASCII 127 delete)
set(control "${first}-${last}${delete}")
if(QB_CONTACT_NAME MATCHES "[\"<>${control}]" OR NOT QB_CONTACT_MAIL MATCHES "^[^\"\\;<> ${control}]+@[^\"\\;<> ${control}]+$")
    message(FATAL_ERROR "QB_CONTACT_NAME may hold no \", < or > and no control character; "
                        "QB_CONTACT_MAIL must be one address, without \", \\, ;, <, >, blanks or control characters")
endif()
