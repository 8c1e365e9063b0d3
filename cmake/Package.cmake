# The Debian package that `cpack` makes of the install tree (scripts/package builds and checks it). Its
# dependencies are found by dpkg-shlibdeps from what the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mailferry)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Mailferry developers")
set(CPACK_PACKAGE_CONTACT "Mailferry developers <developers@mailferry.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack writes the lines after the first as the extended description, each indented by one space.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "convert Outlook PST files into mail, contacts and calendars
Mailferry reads Outlook personal folder files (PST, ANSI and Unicode) itself,
without Outlook and without ever writing to them, and converts them into files
that other programs read: mail as MBOX files or EML messages (attachments,
embedded messages, signed and encrypted mail), contacts as vCard 3.0 and
calendar events as iCalendar, laid out for Apple Mail, Contacts and Calendar,
Thunderbird, an Outlook 2011 archive package, or plain files.
.
Damaged items are skipped and counted in a report, so huge, old or damaged
files convert as far as they can be read. The package holds the command line
mailferry and, when built with it, the desktop program mailferry-gui.")
include(CPack)
