# Runs the lane's Windows programs under Wine: one prefix and one persistent wineserver per
# build folder, started and stopped by ctest fixtures around the tests.
set(JOVUTIL_WINE_LANE ${CMAKE_SOURCE_DIR}/scripts/wine-lane)
set(JOVUTIL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} run)

# Adds the fixture tests that start and stop the lane's wineserver.
function(jovutil_add_wine_fixture)
  add_test(NAME wine_start COMMAND ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} start)
  add_test(NAME wine_stop COMMAND ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} stop)
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 900)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()
