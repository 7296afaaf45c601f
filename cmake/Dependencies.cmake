# SPDX-License-Identifier: MIT
# Every system dependency is a Debian package; name it when it is missing so
# the fix is one apt-get away.
function(varnel_require found package what)
  if(NOT ${found})
    message(FATAL_ERROR "${what} not found: install the Debian package ${package} (apt-get install ${package})")
  endif()
endfunction()

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  message(FATAL_ERROR "A GNU or Clang C++ compiler is needed: install the Debian package g++")
endif()

# Expat 2.4.0 is the first release with protection against entity-expansion
# attacks; older ones are refused rather than trusted with hostile input.
find_package(EXPAT QUIET)
varnel_require(EXPAT_FOUND libexpat1-dev "Expat (XML parser)")
if(EXPAT_VERSION_STRING AND EXPAT_VERSION_STRING VERSION_LESS 2.4.0)
  message(FATAL_ERROR "Expat ${EXPAT_VERSION_STRING} is too old (2.4.0 or newer needed): install a newer libexpat1-dev")
endif()

if(VARNEL_TESTS)
  find_package(GTest QUIET)
  varnel_require(GTest_FOUND libgtest-dev "GoogleTest")
endif()
if(VARNEL_BENCH)
  find_package(benchmark QUIET)
  varnel_require(benchmark_FOUND libbenchmark-dev "Google Benchmark")
endif()
