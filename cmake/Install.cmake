# Installation: the libraries, the public headers, the mSQL tools, a CMake package
# (find_package(Corvane) with Corvane::corvane5, Corvane::corvane4 and Corvane::msql) and
# pkg-config files. Included by the top-level CMakeLists after every target exists.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(CORVANE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/corvane)
set(CORVANE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corvane)

# Headers keep their layer folders, so "components/mSQLDbTables.h" resolves under include/corvane.
foreach(layer host client access components design)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${layer})
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/${layer}/ DESTINATION ${CORVANE_INSTALL_INCLUDEDIR}/${layer}
      FILES_MATCHING PATTERN "*.h")
  endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/msql/include/msql.h DESTINATION ${CORVANE_INSTALL_INCLUDEDIR})

# The deliverables carry the whole host framework, so an application links one library. They find
# libmsql.so beside themselves when it is loaded at run time.
foreach(lib corvane5 corvane4 corvaneb5)
  if(TARGET ${lib})
    set_target_properties(${lib} PROPERTIES INSTALL_RPATH "$ORIGIN")
    target_include_directories(${lib} INTERFACE $<INSTALL_INTERFACE:${CORVANE_INSTALL_INCLUDEDIR}>)
    install(TARGETS ${lib} EXPORT CorvaneTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()

if(TARGET msql)
  target_include_directories(msql INTERFACE $<INSTALL_INTERFACE:${CORVANE_INSTALL_INCLUDEDIR}>)
  install(TARGETS msql EXPORT CorvaneTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  foreach(tool msql_monitor msqladmin msqld)
    if(TARGET ${tool})
      set_target_properties(${tool} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
      install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
endif()

# The data browser, when the view layer is built.
if(TARGET corvane-browse)
  set_target_properties(corvane-browse PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS corvane-browse RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT CorvaneTargets NAMESPACE Corvane:: DESTINATION ${CORVANE_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/CorvaneConfig.cmake.in
  ${CMAKE_BINARY_DIR}/CorvaneConfig.cmake INSTALL_DESTINATION ${CORVANE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/CorvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/CorvaneConfig.cmake ${CMAKE_BINARY_DIR}/CorvaneConfigVersion.cmake
  DESTINATION ${CORVANE_INSTALL_CMAKEDIR})

# pkg-config: corvane5 (and corvane4 in the g++ build), msql.
foreach(generation 5 4)
  if(TARGET corvane${generation})
    set(CORVANE_PC_LIB corvane${generation})
    set(CORVANE_PC_GENERATION ${generation})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/corvane.pc.in ${CMAKE_BINARY_DIR}/corvane${generation}.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/corvane${generation}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  endif()
endforeach()
if(TARGET msql)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/msql.pc.in ${CMAKE_BINARY_DIR}/msql.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/msql.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
