# Cross-compiled test programs run under Wine. One Wine session (virtual X server,
# wineserver, one wineboot) serves the whole test run: the fixture starts it before the
# first Wine test and ends it after the last.
set(SAMPLER_WINE_SESSION_DIR ${CMAKE_BINARY_DIR}/wine-session)
set(SAMPLER_WINE_SESSION_TOOL ${PROJECT_SOURCE_DIR}/tools/wine-session)

add_test(NAME wine-session-start COMMAND ${SAMPLER_WINE_SESSION_TOOL} start
                                         ${SAMPLER_WINE_SESSION_DIR})
add_test(NAME wine-session-stop COMMAND ${SAMPLER_WINE_SESSION_TOOL} stop
                                        ${SAMPLER_WINE_SESSION_DIR})
set_tests_properties(wine-session-start PROPERTIES FIXTURES_SETUP wine_session TIMEOUT 300)
set_tests_properties(wine-session-stop PROPERTIES FIXTURES_CLEANUP wine_session TIMEOUT 60)

# Adds the test NAME running the Windows program TARGET (with ARGS) inside the session.
# The tests share one desktop, so they take turns.
function(sampler_wine_test name target)
    add_test(NAME ${name} COMMAND ${target} ${ARGN})
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED wine_session
        RESOURCE_LOCK wine_desktop
        ENVIRONMENT "SAMPLER_WINE_SESSION=${SAMPLER_WINE_SESSION_DIR}")
endfunction()
