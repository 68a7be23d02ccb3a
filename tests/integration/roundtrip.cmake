# Round trips through the real programs: school document -> pontevia export
# -> horalia-standin -> pontevia import, checked by roundtrip_check.
# Included from CMakeLists.txt of this folder, before anything there returns.
if(NOT WIN32)

add_executable(roundtrip_check roundtrip_check.cpp)
target_link_libraries(roundtrip_check PRIVATE pontevia_core)

set(PONTEVIA_ROUNDTRIP bash ${CMAKE_CURRENT_SOURCE_DIR}/roundtrip.sh
    --bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
set(PONTEVIA_ROUNDTRIP_WORK ${CMAKE_CURRENT_BINARY_DIR}/work)
set(PONTEVIA_SAMPLE --school ${CMAKE_SOURCE_DIR}/samples/ies_mestral.xml
    --levels ${CMAKE_SOURCE_DIR}/samples/ies_mestral_nivells.csv)

add_test(NAME integration.roundtrip_sample
         COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/sample ${PONTEVIA_SAMPLE}
                 -- --seed 3)
add_test(NAME integration.roundtrip_sample_half_hours
         COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/sample_half
                 ${PONTEVIA_SAMPLE} -- --half-hours --days 5 --periods 16 --seed 4)

add_test(NAME integration.import_exit_statuses
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/import_cli.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 ${PONTEVIA_ROUNDTRIP_WORK}/cli ${CMAKE_SOURCE_DIR}/samples/ies_mestral.xml
                 ${CMAKE_SOURCE_DIR}/samples/ies_mestral_nivells.csv)

# The Windows programs under Wine: the document is written by MSXML.
if(NOT PONTEVIA_SANITIZE)
  set(PONTEVIA_WINDOWS_BIN ${CMAKE_SOURCE_DIR}/build/windows/bin CACHE PATH "Where the Windows build puts its programs")
  add_test(NAME wine.roundtrip_sample_half_hours
           COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/wine ${PONTEVIA_SAMPLE}
                   --wine ${PONTEVIA_WINDOWS_BIN} -- --half-hours --seed 7)
  set_tests_properties(wine.roundtrip_sample_half_hours PROPERTIES TIMEOUT 300)
endif()

# Schools nobody here wrote by hand.
if(TARGET school_generator)
  add_test(NAME integration.roundtrip_generated
           COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/generated
                   --generate 11 -- --seed 11)
  add_test(NAME integration.roundtrip_generated_half_hours
           COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/generated_half
                   --generate 12 -- --half-hours --days 6 --periods 18 --seed 12)
endif()

# SOLUC written again by an independent dBase writer (Free Pascal's TDbf),
# with other numeric column types and deleted records.
find_program(PONTEVIA_FPC fpc)
if(PONTEVIA_FPC)
  set(tdbf_dir ${CMAKE_CURRENT_BINARY_DIR}/tdbf)
  add_custom_command(
    OUTPUT ${tdbf_dir}/soluc_tdbf
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tdbf_dir}
    COMMAND ${PONTEVIA_FPC} -v0 -FU${tdbf_dir} -o${tdbf_dir}/soluc_tdbf
            ${CMAKE_CURRENT_SOURCE_DIR}/soluc_tdbf.pas
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/soluc_tdbf.pas
    COMMENT "Compilando soluc_tdbf con Free Pascal")
  add_custom_target(soluc_tdbf ALL DEPENDS ${tdbf_dir}/soluc_tdbf)
  add_test(NAME integration.roundtrip_tdbf_dbase4
           COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/tdbf4 ${PONTEVIA_SAMPLE}
                   --tdbf ${tdbf_dir}/soluc_tdbf 4 -- --seed 5)
  add_test(NAME integration.roundtrip_tdbf_dbase7_half_hours
           COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/tdbf7 ${PONTEVIA_SAMPLE}
                   --tdbf ${tdbf_dir}/soluc_tdbf 7 -- --half-hours --seed 6)
  if(TARGET school_generator)
    add_test(NAME integration.roundtrip_generated_tdbf_dbase7
             COMMAND ${PONTEVIA_ROUNDTRIP} --work ${PONTEVIA_ROUNDTRIP_WORK}/generated_tdbf7
                     --generate 13 --tdbf ${tdbf_dir}/soluc_tdbf 7 -- --seed 13)
  endif()
endif()
endif()
