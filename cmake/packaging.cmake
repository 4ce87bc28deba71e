# The site package: cpack -G DEB in a build folder makes zorinput_VERSION_ARCH.deb with both programs,
# the desktop and MIME entries of the import files, the examples and the import services.
set(ZI_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${ZI_PACKAGING_DIR}/zorinput_import_file-open.desktop DESTINATION share/applications)
install(FILES ${ZI_PACKAGING_DIR}/zorinput_import_file.xml DESTINATION share/mime/packages)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION share/doc/zorinput/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${ZI_PACKAGING_DIR}/pfimport.conf.example DESTINATION share/doc/zorinput)
install(FILES ${ZI_PACKAGING_DIR}/zorinput.sysusers DESTINATION lib/sysusers.d RENAME zorinput.conf)
# Debian 12 keeps the units of packages in /lib/systemd/system.
install(FILES ${ZI_PACKAGING_DIR}/zorinput-import-worker@.service ${ZI_PACKAGING_DIR}/zorinput-pfimport@.service
        DESTINATION /lib/systemd/system)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorinput)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Data-entry and import client of the financial database, with its import services")
set(CPACK_PACKAGE_CONTACT "ZorInput developers <zorinput@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The ODBC driver that reaches a SQL Server; a site may use another.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${ZI_PACKAGING_DIR}/postinst ${ZI_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
