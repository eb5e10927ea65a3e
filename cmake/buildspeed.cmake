# Build speed for every target of the project, applied once after all folders
# are added, so that no folder's CMakeLists.txt has to know about it:
#
# - Precompiled Qt headers. Targets that see the same Qt modules and the same
#   compile definitions share one precompiled header (REUSE_FROM): GCC and
#   clang use a precompiled header only when the macros it looked at are
#   defined the same way, so the modules (QT_*_LIB) and the target's own
#   definitions form the key. QtTest's headers look at QT_TESTCASE_BUILDDIR,
#   which differs per folder, so tests share per folder.
# - No unity builds: compiling the libraries of many small sources a few at a
#   time saved 10 of 45 CPU-seconds on those libraries, about 5 s of wall
#   time per stage on two cores, and would ask every file-local name in a
#   library to differ from its neighbours'.
# - An executable's own classes are moc'ed into its .cpp (the "x.moc"
#   include), which leaves its mocs_compilation.cpp empty: loading the
#   precompiled header for that empty file cost about a second, eighty times
#   a stage.

option(AMP_PRECOMPILE_QT "Precompile the Qt headers, shared between targets" ON)

set(AMP_PCH_Core <QByteArray> <QByteArrayView> <QString> <QStringView> <QStringList> <QList> <QHash>
                 <QSet> <QObject> <QPointer> <QTimer> <QElapsedTimer> <QDeadlineTimer> <QCoreApplication>
                 <QFile> <QDir> <QLocale> <QDateTime> <QThread> <QVariant>)
set(AMP_PCH_Network <QHostAddress> <QTcpSocket> <QTcpServer> <QUdpSocket>)
set(AMP_PCH_Gui <QPainter> <QFont> <QColor>)
set(AMP_PCH_Widgets <QApplication> <QWidget> <QLabel> <QLineEdit> <QPushButton> <QGroupBox> <QListWidget>
                    <QVBoxLayout> <QMessageBox> <QComboBox> <QHeaderView> <QTableView> <QMainWindow>)
set(AMP_PCH_Svg <QSvgRenderer>)
set(AMP_PCH_Test <QTest> <QSignalSpy>)
set(AMP_QT_MODULES Core Network Gui Widgets Svg Test)

# Every target defined in dir and below it.
function(amp_targets_below dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        amp_targets_below(${subdir} below)
        list(APPEND targets ${below})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The Qt modules whose usage requirements reach a target: its own links, and
# what the targets it links pass on (their INTERFACE links, not LINK_ONLY).
function(amp_qt_modules_of target property out)
    get_target_property(links ${target} ${property})
    set(modules "")
    foreach(link IN LISTS links)
        if(link MATCHES "^\\$<LINK_ONLY:" OR link STREQUAL "links-NOTFOUND")
            continue()
        endif()
        if(link MATCHES "^Qt6::(.+)$")
            list(APPEND modules ${CMAKE_MATCH_1})
        elseif(TARGET ${link})
            get_target_property(imported ${link} IMPORTED)
            if(NOT imported)
                amp_qt_modules_of(${link} INTERFACE_LINK_LIBRARIES passed)
                list(APPEND modules ${passed})
            endif()
        endif()
    endforeach()
    if(modules MATCHES "Widgets|Svg")
        list(APPEND modules Gui)
    endif()
    list(APPEND modules Core)
    list(REMOVE_DUPLICATES modules)
    set(${out} ${modules} PARENT_SCOPE)
endfunction()

# The project's targets a target is built after: what it links, directly or
# through other targets, and what it depends on by add_dependencies().
function(amp_upstream_of target out)
    get_target_property(links ${target} LINK_LIBRARIES)
    get_target_property(passed ${target} INTERFACE_LINK_LIBRARIES)
    get_target_property(added ${target} MANUALLY_ADDED_DEPENDENCIES)
    set(upstream "")
    foreach(link IN LISTS links passed added)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
        if(NOT TARGET "${link}" OR link MATCHES "::")
            continue()
        endif()
        list(APPEND upstream ${link})
        amp_upstream_of(${link} further)
        list(APPEND upstream ${further})
    endforeach()
    list(REMOVE_DUPLICATES upstream)
    set(${out} ${upstream} PARENT_SCOPE)
endfunction()

# The member that is built after no other member: sharing its precompiled
# header adds no dependency cycle.
function(amp_first_built members out)
    foreach(candidate IN LISTS members)
        amp_upstream_of(${candidate} upstream)
        set(first TRUE)
        foreach(other IN LISTS members)
            if(other IN_LIST upstream)
                set(first FALSE)
                break()
            endif()
        endforeach()
        if(first)
            set(${out} ${candidate} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "no first-built target among ${members}")
endfunction()

function(amp_compiled_sources target out)
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    list(LENGTH sources count)
    set(${out} ${count} PARENT_SCOPE)
endfunction()

# An executable's mocs_compilation.cpp is empty (see above): no precompiled
# header for it.
function(amp_compile_mocs_bare target)
    get_target_property(type ${target} TYPE)
    get_target_property(automoc ${target} AUTOMOC)
    if(type STREQUAL "EXECUTABLE" AND automoc)
        get_target_property(folder ${target} BINARY_DIR)
        set_source_files_properties(${folder}/${target}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                    PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    endif()
endfunction()

function(amp_precompile_qt_headers)
    amp_targets_below(${PROJECT_SOURCE_DIR} targets)
    set(keys "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        amp_compiled_sources(${target} count)
        if(count EQUAL 0)
            continue()
        endif()
        amp_qt_modules_of(${target} LINK_LIBRARIES modules)
        set(headers "")
        set(key "")
        foreach(module IN LISTS AMP_QT_MODULES)
            if(module IN_LIST modules)
                list(APPEND headers ${AMP_PCH_${module}})
                string(APPEND key ${module})
            endif()
        endforeach()
        get_target_property(definitions ${target} COMPILE_DEFINITIONS)
        if(definitions)
            string(APPEND key "|${definitions}")
        endif()
        if("Test" IN_LIST modules)
            get_target_property(folder ${target} BINARY_DIR)
            string(APPEND key "|${folder}")
        endif()
        string(MD5 id "${key}")
        if(NOT id IN_LIST keys)
            list(APPEND keys ${id})
            set(members_${id} "")
            set(headers_${id} ${headers})
            set(sources_${id} 0)
        endif()
        list(APPEND members_${id} ${target})
        math(EXPR sources_${id} "${sources_${id}} + ${count}")
    endforeach()

    # A precompiled header pays off once it saves parsing the headers a few
    # times; a lone target with one or two sources parses them faster.
    foreach(id IN LISTS keys)
        if(sources_${id} LESS 3)
            continue()
        endif()
        amp_first_built("${members_${id}}" provider)
        foreach(member IN LISTS members_${id})
            if(member STREQUAL provider)
                target_precompile_headers(${member} PRIVATE ${headers_${id}})
            else()
                target_precompile_headers(${member} REUSE_FROM ${provider})
            endif()
            amp_compile_mocs_bare(${member})
        endforeach()
    endforeach()
endfunction()
