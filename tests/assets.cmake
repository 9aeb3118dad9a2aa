# Checks of the committed pictures in resources/. Included from tests/CMakeLists.txt; expects
# Qt6 Gui and Test to be found already and the vardo-artwork target (tools/) to exist somewhere
# in the same build.
#
# VARDO_RESOURCES_DIR may be set before the include; it defaults to the resources/ directory
# next to this file.

if(NOT DEFINED VARDO_RESOURCES_DIR)
    set(VARDO_RESOURCES_DIR "${CMAKE_CURRENT_LIST_DIR}/../resources")
endif()
get_filename_component(VARDO_RESOURCES_DIR "${VARDO_RESOURCES_DIR}" ABSOLUTE)

add_executable(test_assets ${CMAKE_CURRENT_LIST_DIR}/test_assets.cpp)
set_target_properties(test_assets PROPERTIES AUTOMOC ON)
target_compile_features(test_assets PRIVATE cxx_std_20)
target_compile_definitions(test_assets PRIVATE VARDO_RESOURCES_DIR="${VARDO_RESOURCES_DIR}")
target_link_libraries(test_assets Qt6::Test Qt6::Gui)
add_test(NAME assets COMMAND test_assets)
set_tests_properties(assets PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# The committed pictures are exactly what the generator draws today: run it into a scratch
# directory and compare byte for byte.
add_test(NAME artwork_reproducible
    COMMAND ${CMAKE_COMMAND}
        -DGENERATOR=$<TARGET_FILE:vardo-artwork>
        -DOUT_DIR=${CMAKE_CURRENT_BINARY_DIR}/artwork_reproducible
        -DEXPECTED_DIR=${VARDO_RESOURCES_DIR}
        -P ${CMAKE_CURRENT_LIST_DIR}/../tools/artwork/CompareArtwork.cmake)
