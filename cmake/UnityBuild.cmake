# The test build (scripts/test) compiles each target's sources in batches
# (CMAKE_UNITY_BUILD), which halves its time on two cores. These sources
# keep a file-local name that another source of the same target also uses,
# so they are compiled on their own. Ignored when unity builds are off.
function(lm_unity_alone dir)
  list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/${dir}/ OUTPUT_VARIABLE files)
  set_source_files_properties(${files} DIRECTORY ${CMAKE_SOURCE_DIR}/${dir}
                              PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

lm_unity_alone(common/commands src/TcmdEWSTW.cpp)
lm_unity_alone(common/reginfo src/RegInfoVelaAdapterVLRD.cpp src/RegInfoVelaAdapterVLRF.cpp
               src/RegInfoVelaAdapterVLRH.cpp)
lm_unity_alone(records src/RecordReader.cpp src/ImportChecker.cpp)
lm_unity_alone(sim src/UnitSession.cpp)
lm_unity_alone(tests/comsim CatalogueSimTest.cpp)
lm_unity_alone(tests/netseek NetSeekAnswerPathTest.cpp NetSeekSendFailureTest.cpp)
lm_unity_alone(app/shell src/Profile.cpp)
lm_unity_alone(tests/teamsync SiteMapSyncTest.cpp)
# Every command keeps its own Check and Run.
lm_unity_alone(tools/cli src/commands/SurveyCommand.cpp src/commands/AcceptCommand.cpp
               src/commands/ScanCommand.cpp src/commands/DownloadCommand.cpp src/commands/LogCommand.cpp
               src/commands/SettingsCommand.cpp src/commands/RecordsCommand.cpp src/commands/MapCommand.cpp src/commands/ReportCommand.cpp
               src/commands/AlarmsCommand.cpp src/alarms/MetricsFile.cpp src/alarms/NoticeFormat.cpp)
