# What `cmake --install` puts into the prefix: the tools, the reader library with its header
# (and the format's records, which its header hands out), a CMake package `cvm` with the
# imported targets cvm::reader and cvm::cvmexport and the function cvm_add_models, and a
# pkg-config file cvm_reader.pc for everyone else.
include(CMakePackageConfigHelpers)
set(CVM_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/cvm)

set_target_properties(cvm_reader PROPERTIES EXPORT_NAME reader)
set_target_properties(cvm_format PROPERTIES EXPORT_NAME format)
install(TARGETS cvm_reader cvm_format EXPORT cvmTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS cvmexport cvmdump EXPORT cvmTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/reader/include/reader/cvm_reader.h
  ${PROJECT_SOURCE_DIR}/reader/include/reader/render_mesh.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/cvm/reader)
install(FILES ${PROJECT_SOURCE_DIR}/format/include/format/records.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/cvm/format)

install(EXPORT cvmTargets NAMESPACE cvm:: FILE cvmTargets.cmake DESTINATION ${CVM_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/cvmConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/cvmConfig.cmake INSTALL_DESTINATION ${CVM_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/cvmConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/cvmConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/cvmConfigVersion.cmake
  ${CMAKE_CURRENT_LIST_DIR}/cvm_add_models.cmake DESTINATION ${CVM_INSTALL_CMAKEDIR})

# The prefix is found from the file's own place, so that the installed tree can be moved.
file(RELATIVE_PATH CVM_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(${CMAKE_CURRENT_LIST_DIR}/cvm_reader.pc.in ${CMAKE_CURRENT_BINARY_DIR}/cvm_reader.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/cvm_reader.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
