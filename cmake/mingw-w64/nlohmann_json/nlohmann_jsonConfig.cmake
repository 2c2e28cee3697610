include(${CMAKE_CURRENT_LIST_DIR}/../host_header_folder.cmake)
cvm_host_header_folder(nlohmann_json::nlohmann_json nlohmann)
