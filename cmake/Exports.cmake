# The export table (termlink/exports/exports.tsv) is the single list of what
# libtermlink exports. From it the build generates the ELF version script
# (plain names, everything else local) and the Windows .def file (exact,
# possibly decorated, names, in GNU ld syntax for the mingw-w64 build).
#
# On 32-bit Windows a standard-call function's symbol carries its argument
# bytes ("TL_Close@4"); 64-bit Windows has one convention and plain symbols.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TL_STDCALL_SUFFIX ON)
else()
  set(TL_STDCALL_SUFFIX OFF)
endif()
function(tl_generate_exports table outdir)
  set(map ${outdir}/termlink.map)
  set(def ${outdir}/termlink.def)
  set(impdef ${outdir}/termlink-import.def)
  add_custom_command(
    OUTPUT ${map} ${def} ${impdef}
    COMMAND ${CMAKE_COMMAND} -DTABLE=${table} -DMAP=${map} -DDEF=${def} -DIMPDEF=${impdef}
            -DSTDCALL_SUFFIX=${TL_STDCALL_SUFFIX}
            -P ${CMAKE_SOURCE_DIR}/cmake/GenExports.cmake
    DEPENDS ${table} ${CMAKE_SOURCE_DIR}/cmake/GenExports.cmake
    COMMENT "Generating export lists from the export table")
  add_custom_target(termlink_exports DEPENDS ${map} ${def} ${impdef})
  set(TL_EXPORT_MAP ${map} PARENT_SCOPE)
  set(TL_EXPORT_DEF ${def} PARENT_SCOPE)
  set(TL_EXPORT_IMPORT_DEF ${impdef} PARENT_SCOPE)
endfunction()
