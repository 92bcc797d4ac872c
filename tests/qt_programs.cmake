# Tests of the Qt programs: one executable per folder (tests/wizard_common, tests/zorv, ...)
# with the shared Qt main (an offscreen QApplication, settings in a temporary folder), linking
# the folder's forms library and the scripted service fakes of tests/support/qt.
file(GLOB qt_support_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/qt/*.cpp)
list(REMOVE_ITEM qt_support_srcs ${CMAKE_CURRENT_SOURCE_DIR}/support/qt/qt_test_main.cpp)
add_library(qt_test_support STATIC ${qt_support_srcs})
find_package(Qt6 REQUIRED COMPONENTS Test)
target_include_directories(qt_test_support PUBLIC ${CMAKE_SOURCE_DIR})  # tests see everything
target_link_libraries(qt_test_support PUBLIC wizard_common Qt6::Test GTest::gtest GTest::gmock)

# Every Qt test sees only the fonts scripts/setup.sh installs, through the fontconfig of
# tests/fonts/, whatever else the machine has: what a test measures is what a fresh machine
# shows. (Their main sets the offscreen platform and the scale factor itself.) One value: a
# ";" would split the properties gtest_discover_tests passes on.
set(qt_test_env "FONTCONFIG_FILE=${CMAKE_CURRENT_SOURCE_DIR}/fonts/fonts.conf")

set(qt_forms_wizard_common wizard_common)
set(qt_forms_zorv zorv_forms)
foreach(area wizard_common zorv)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*_test.cpp)
  if(NOT srcs)
    continue()
  endif()
  add_executable(${area}_tests ${srcs} ${CMAKE_CURRENT_SOURCE_DIR}/support/qt/qt_test_main.cpp)
  # The data pages' tests read the shared fixtures (tests/support/fixtures.h) and reach the ODBC
  # test servers.
  target_link_libraries(${area}_tests PRIVATE ${qt_forms_${area}} qt_test_support test_support)
  set(fixtures "")
  foreach(src ${srcs})
    file(READ ${src} src_text)
    if(src_text MATCHES "odbc_servers\\.h")
      set(fixtures FIXTURES_REQUIRED odbc_servers)
    endif()
  endforeach()
  if(area STREQUAL "zorv")  # the graph editor's tests learn networks with the real engine
    target_link_libraries(${area}_tests PRIVATE zorvapi_static)
    # The main road's training table carries interval labels written as the conditioning does.
    target_link_libraries(${area}_tests PRIVATE trune_discretize)
    # The wizard creates its engine by class name: the tests register the built library.
    add_dependencies(${area}_tests zorvapi)
    target_compile_definitions(${area}_tests PRIVATE ZORVAPI_LIBRARY="$<TARGET_FILE:zorvapi>")
  endif()
  gtest_discover_tests(${area}_tests DISCOVERY_MODE PRE_TEST PROPERTIES ENVIRONMENT "${qt_test_env}" ${fixtures})
endforeach()

# trune's tests also copy from the shared Access fixtures, the Excel fixtures of the database
# layer's tests and through the ODBC test servers. Its walk through the pages is the CTest
# trune_end_to_end.
file(GLOB trune_test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/trune/*_test.cpp)
if(trune_test_srcs)
  add_executable(trune_tests ${trune_test_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/support/qt/qt_test_main.cpp)
  target_link_libraries(trune_tests PRIVATE trune_forms qt_test_support test_support)
  target_compile_definitions(trune_tests PRIVATE BNS_TESTS_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
  # The conditioned copy is learned from by the classifier engine, created by its class name.
  target_compile_definitions(trune_tests PRIVATE ZORVAPI_LIBRARY="$<TARGET_FILE:zorvapi>"
    BNS_DEMO_DB="${BNS_BIN_DIR}/demo.db")
  add_dependencies(trune_tests zorvapi demo_db)
  gtest_discover_tests(trune_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "trune."
    TEST_FILTER "-TruneEndToEnd.*:TruneConditioningEndToEnd.*"
    PROPERTIES ENVIRONMENT "${qt_test_env}" FIXTURES_REQUIRED odbc_servers)
  add_test(NAME trune_end_to_end COMMAND trune_tests --gtest_filter=TruneEndToEnd.*)
  add_test(NAME trune_conditioning_end_to_end COMMAND trune_tests --gtest_filter=TruneConditioningEndToEnd.*)
  set_tests_properties(trune_end_to_end trune_conditioning_end_to_end PROPERTIES ENVIRONMENT "${qt_test_env}")
endif()

# vrell's tests run the construction engine itself (linked in, not loaded by class name) and
# reach the ODBC test servers. Its walk through the pages is the CTest
# vrell_construction_end_to_end, the user's walk on through the editor, the export and the
# report the CTest vrell_user_end_to_end.
file(GLOB vrell_test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/vrell/*_test.cpp)
if(vrell_test_srcs)
  add_executable(vrell_tests ${vrell_test_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/vrell/real_engine.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/qt/qt_test_main.cpp)
  target_link_libraries(vrell_tests PRIVATE vrell_forms vrellapi_static qt_test_support test_support)
  gtest_discover_tests(vrell_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "vrell." TEST_FILTER "-VrellEndToEnd.*:VrellUserEndToEnd.*"
    PROPERTIES ENVIRONMENT "${qt_test_env}" FIXTURES_REQUIRED odbc_servers)
  target_compile_definitions(vrell_tests PRIVATE BNS_TESTS_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    BNS_DEMO_DB="${BNS_BIN_DIR}/demo.db")
  add_dependencies(vrell_tests demo_db)
  add_test(NAME vrell_construction_end_to_end COMMAND vrell_tests --gtest_filter=VrellEndToEnd.*)
  add_test(NAME vrell_user_end_to_end COMMAND vrell_tests --gtest_filter=VrellUserEndToEnd.*)
  set_tests_properties(vrell_construction_end_to_end vrell_user_end_to_end PROPERTIES ENVIRONMENT "${qt_test_env}"
    FIXTURES_REQUIRED odbc_servers)
endif()
