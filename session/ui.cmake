# The windows of the sign-in dialog and the small framework under both windows (windows tree only).
add_library(quillon_session STATIC form.cpp link_label.cpp login_form.cpp)
target_link_libraries(quillon_session PUBLIC quillon_session_core quillon_session_text quillon_service quillon_credentials
                      user32 gdi32 shell32 comctl32 ole32)

quillon_add_test(session_login_form_test SOURCES tests/login_form_test.cpp
                 LIBS quillon_session quillon_test_gui quillon_test_http)

add_library(quillon_test_counters STATIC tests/process_counters.cpp)
target_link_libraries(quillon_test_counters PUBLIC quillon_config psapi gdi32 user32)
quillon_add_test(session_login_form_resources_test SOURCES tests/login_form_resources_test.cpp
                 LIBS quillon_session quillon_test_counters quillon_test_http)
