# The test build (scripts/test) compiles each target's sources in batches
# (CMAKE_UNITY_BUILD), which halves its time on two cores. These sources
# keep a file-local name that another source of the same target also uses,
# so they are compiled on their own. Ignored when unity builds are off.

# Every source folder this configuration added, so that folders left out
# (the tests when LM_TESTS is off, LM_SKIP_DIRS) are passed over.
function(lm_added_folders dir out)
  set(found ${dir})
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child IN LISTS children)
    lm_added_folders(${child} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
lm_added_folders(${CMAKE_SOURCE_DIR} lm_unity_folders)

function(lm_unity_alone dir)
  if(NOT ${CMAKE_SOURCE_DIR}/${dir} IN_LIST lm_unity_folders)
    return()
  endif()
  list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/${dir}/ OUTPUT_VARIABLE files)
  set_source_files_properties(${files} DIRECTORY ${CMAKE_SOURCE_DIR}/${dir}
                              PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()
lm_unity_alone(common/commands src/TcmdEWSTW.cpp)
lm_unity_alone(common/reginfo src/RegInfoVelaAdapterVLRD.cpp src/RegInfoVelaAdapterVLRF.cpp
               src/RegInfoVelaAdapterVLRH.cpp)
lm_unity_alone(records src/RecordReader.cpp src/ImportChecker.cpp)
lm_unity_alone(sim src/UnitSession.cpp)
lm_unity_alone(tests/com/sim CatalogueSimTest.cpp)
lm_unity_alone(tests/netseek NetSeekAnswerPathTest.cpp NetSeekSendFailureTest.cpp)
lm_unity_alone(app/shell src/Profile.cpp)
lm_unity_alone(tests/records/sync SiteMapSyncTest.cpp)
# Every command keeps its own Check and Run.
lm_unity_alone(tools/cli src/commands/SurveyCommand.cpp src/commands/AcceptCommand.cpp
               src/commands/ScanCommand.cpp src/commands/DownloadCommand.cpp src/commands/LogCommand.cpp
               src/commands/SettingsCommand.cpp src/commands/RecordsCommand.cpp src/commands/MapCommand.cpp
               src/commands/ReportCommand.cpp src/commands/AlarmsCommand.cpp src/monitor/MonitorCommand.cpp)
lm_unity_alone(monitor src/metrics/MetricsFile.cpp src/outbox/NoticeFormat.cpp src/rules/RoundObservation.cpp
               src/AlarmMonitor.cpp src/outbox/OutboxDispatcher.cpp)
