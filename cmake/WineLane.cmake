# Runs the lane's Windows programs under Wine, in one prefix with one persistent wineserver
# that ctest fixtures start and stop around the tests. Making a prefix costs minutes (its
# 32-bit half runs emulated), so the presets let both lanes share one.
set(JOVUTIL_WINE_LANE ${CMAKE_SOURCE_DIR}/scripts/wine-lane)
set(JOVUTIL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the test lane")
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} run)

# Adds the fixture tests that start and stop the lane's wineserver.
function(jovutil_add_wine_fixture)
  add_test(NAME wine_start COMMAND ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} start)
  add_test(NAME wine_stop COMMAND ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} stop)
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 900)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()
