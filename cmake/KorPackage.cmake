# The Debian package "koragent", made by CPack from an installed build:
#   cmake --preset release && cmake --build --preset release
#   (cd build/release && cpack -G DEB)
# The program directory goes to /opt/kor, as "cmake --install --prefix
# /opt/kor" lays it out, except the files the agent or the operator change
# (KORAgent.cfg, KOR/storage.ini, the web server's users): the package carries
# their first versions in /usr/share/koragent and its postinst puts each in
# place only where none exists, so upgrades keep them. Dependencies come from
# the shared libraries (dpkg-shlibdeps).
set(KOR_PACKAGE_PREFIX /opt/kor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME koragent)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORLA")
set(CPACK_PACKAGE_CONTACT "KORAgent maintainers <koragent@orla.example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tape controller and tape library management service")
set(CPACK_PACKAGE_DESCRIPTION
    "KORAgent is a systemd service that manages Fibre Channel tape controllers\n\
and tape libraries over SNMP, receives and forwards their traps, and serves an\n\
HTTPS administration web interface on port 2381. Installed in /opt/kor, it\n\
runs as the system user koragent with only the privilege to bind the trap\n\
port 162.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${KOR_PACKAGE_PREFIX})
set(CPACK_INSTALL_PREFIX ${KOR_PACKAGE_PREFIX})
# KORAgent.cfg names the agent directory by its final path, so the install
# step must see the real prefix, with the staging folder as DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The postinst makes the user with useradd (passwd; it starts the service
# with deb-systemd-invoke, from the essential init-system-helpers).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(_kor_deb ${CMAKE_BINARY_DIR}/packaging/deb)
foreach(script postinst prerm postrm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/${script}.in ${_kor_deb}/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                  WORLD_EXECUTE)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_kor_deb}/postinst ${_kor_deb}/prerm ${_kor_deb}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Packaging only: the install step writes the first versions of the changed
# files to /usr/share/koragent (see agent/service), and the package gets
# its copyright, change log and lintian overrides.
set(CPACK_PROJECT_CONFIG_FILE ${_kor_deb}/cpack_project_config.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "set(ENV{KOR_PACKAGING} 1)\n")
install(CODE "set(KOR_PACKAGE_SOURCE \"${PROJECT_SOURCE_DIR}/packaging/deb\")")
install(CODE [[
  if(DEFINED ENV{KOR_PACKAGING})
    set(_kor_doc "$ENV{DESTDIR}/usr/share/doc/koragent")
    file(COPY "${KOR_PACKAGE_SOURCE}/copyright" DESTINATION "${_kor_doc}")
    file(READ "${KOR_PACKAGE_SOURCE}/changelog" _kor_changelog)
    file(WRITE "${_kor_doc}/changelog" "${_kor_changelog}")
    execute_process(COMMAND gzip -9nf "${_kor_doc}/changelog" COMMAND_ERROR_IS_FATAL ANY)
    file(COPY "${KOR_PACKAGE_SOURCE}/lintian-overrides/koragent"
         DESTINATION "$ENV{DESTDIR}/usr/share/lintian/overrides")
  endif()
]])

include(CPack)
