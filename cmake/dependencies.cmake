# Third-party libraries: Debian's -dev packages on linux. On Windows
# GoogleTest as scripts/setup.sh built it, and bzip2 and pugixml built here
# from the Debian source packages that scripts/setup.sh fetched.
if(WIN32)
  set(TOLVANE_DEPS ${CMAKE_SOURCE_DIR}/build/deps/${TOOLCHAIN_PREFIX})
  file(GLOB bzip2_source ${CMAKE_SOURCE_DIR}/build/deps/src/bzip2-*/bzlib.c)
  file(GLOB pugixml_source ${CMAKE_SOURCE_DIR}/build/deps/src/pugixml-*/src/pugixml.cpp)
  if(NOT EXISTS ${TOLVANE_DEPS}/lib/libgtest.a OR NOT bzip2_source OR NOT pugixml_source)
    message(FATAL_ERROR "Missing ${TOLVANE_DEPS} or the sources in build/deps/src: run scripts/setup.sh first")
  endif()
  list(PREPEND CMAKE_FIND_ROOT_PATH ${TOLVANE_DEPS})
  find_package(GTest REQUIRED CONFIG)
  # bzip2 and pugixml go into the shipped programs, so they are built here,
  # from the source packages the set-up fetched, and only with what we use.
  #
  # bzip2 without its stdio layer: we never call it, and its error printing
  # brings the C runtime's whole printf into setup.exe. Its internal errors
  # come to bz_internal_error instead. -O2 as the set-up has always built it,
  # whatever this build's type: unpacking speed is the installer's.
  list(GET bzip2_source 0 bzip2_source)
  get_filename_component(bzip2_dir ${bzip2_source} DIRECTORY)
  add_library(tolvane_bz2 STATIC
    ${bzip2_dir}/blocksort.c ${bzip2_dir}/huffman.c ${bzip2_dir}/crctable.c ${bzip2_dir}/randtable.c
    ${bzip2_dir}/compress.c ${bzip2_dir}/decompress.c ${bzip2_dir}/bzlib.c
    ${CMAKE_SOURCE_DIR}/setup/archive/bzip_internal_error.c)
  target_include_directories(tolvane_bz2 PUBLIC ${bzip2_dir})
  target_compile_definitions(tolvane_bz2 PUBLIC BZ_NO_STDIO PRIVATE _FILE_OFFSET_BITS=64)
  target_compile_options(tolvane_bz2 PRIVATE -O2 -ffunction-sections -fdata-sections)
  # A function in a section of its own, and in the 32-bit build without the
  # unwind tables that the linker must keep whole (nothing unwinds through
  # this C code: it calls no code of ours): setup.exe, which only unpacks,
  # can then leave out the compressor (--gc-sections, setup/wizard). The
  # 64-bit system's own unwinding needs the tables; they stay there.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(tolvane_bz2 PRIVATE -fno-asynchronous-unwind-tables)
  endif()
  add_library(BZip2::BZip2 ALIAS tolvane_bz2)
  # pugixml in its header-only mode: the file that includes the header
  # compiles the functions it calls and no others. smooth.dll uses the node
  # interface only; compiled whole, the library's stream functions pull
  # libstdc++'s iostreams and locales into it (about 0.7 MB) and its number
  # conversions the C runtime's printf and strtod (about 40 KB). Without XPath
  # and the stream interface, too, so that no one starts using them unawares.
  list(GET pugixml_source 0 pugixml_source)
  get_filename_component(pugixml_dir ${pugixml_source} DIRECTORY)
  add_library(tolvane_pugixml INTERFACE)
  target_include_directories(tolvane_pugixml SYSTEM INTERFACE ${pugixml_dir})
  target_compile_definitions(tolvane_pugixml INTERFACE PUGIXML_HEADER_ONLY PUGIXML_NO_XPATH PUGIXML_NO_STL)
  set(TOLVANE_PUGIXML tolvane_pugixml)
  # Shipped folders need nothing but our own files.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
else()
  find_package(BZip2 REQUIRED)
  find_package(pugixml REQUIRED)
  find_package(GTest REQUIRED)
  set(TOLVANE_PUGIXML pugixml)
  if(TARGET pugixml::pugixml)
    set(TOLVANE_PUGIXML pugixml::pugixml)
  endif()
  if(TOLVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(TOLVANE_TSAN)
    add_compile_options(-fsanitize=thread)
    add_link_options(-fsanitize=thread)
  endif()
endif()
