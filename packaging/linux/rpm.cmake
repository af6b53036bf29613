# The RPM for Fedora and openSUSE, from the rpm preset (./dev.sh package):
# the same files as the .deb, in Fedora's places (ARKIVA_SYSTEM_LIBDIR
# /usr/lib64). rpmbuild finds what the programs link (Requires by soname,
# the same on every RPM distribution); xz and tar by name.
set(CPACK_GENERATOR RPM)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/Archiving")
set(CPACK_RPM_PACKAGE_URL https://arkiva.example/)
set(CPACK_RPM_PACKAGE_VENDOR "arkiva developers")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_REQUIRES "xz, tar")
set(CPACK_RPM_PACKAGE_AUTOPROV no)  # a program and modules: nothing to link against
set(CPACK_RPM_CHANGELOG_FILE ${CMAKE_CURRENT_LIST_DIR}/rpm-changelog)
# The folders the system or the file managers own; the package owns only
# its own (/usr/libexec/arkiva, /usr/share/arkiva, /usr/share/licenses/arkiva).
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/libexec /usr/share/applications /usr/share/kio /usr/share/kio/servicemenus
    /usr/share/nemo /usr/share/nemo/actions /usr/share/file-manager
    /usr/share/file-manager/actions /usr/share/man /usr/share/man/man1 /usr/share/licenses
    /usr/share/locale ${system_libdir}/nautilus ${nautilus_extension_dir})
foreach(language ${ARKIVA_LANGUAGES})
  list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
       /usr/share/locale/${language} /usr/share/locale/${language}/LC_MESSAGES)
endforeach()
# GNOME Files' module links what GNOME Files brings; without GNOME Files it
# is never loaded, and arkiva needs nothing of it. The progress window's
# GTK is only recommended, as in the .deb: without it a run shows zenity's
# window, or none, and a desktop without GTK still archives.
set(CPACK_RPM_SPEC_MORE_DEFINE
    "Packager: arkiva developers <dev@arkiva.example>
Recommends: gtk3
%global __requires_exclude ^lib(nautilus-extension|gtk-3|gdk-3)[.]so")
