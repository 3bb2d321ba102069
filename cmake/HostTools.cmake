# The tools the Windows build runs while it builds (mkdisc makes the test
# discs, mkdist the setup file) are platform-free: they are built for the
# build machine and run there, so building needs no Wine.
include(ExternalProject)
set(host_tools_dir ${CMAKE_BINARY_DIR}/host-tools)
set(CORVANE_HOST_MKDISC ${host_tools_dir}/tools/mkdisc/mkdisc)
set(CORVANE_HOST_MKDIST ${host_tools_dir}/tools/mkdist/mkdist)
ExternalProject_Add(host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_tools_dir}
  CMAKE_ARGS -DCORVANE_HOST_TOOLS=ON -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools_dir} --target mkdisc mkdist
  INSTALL_COMMAND ""
  # Its sources are the project's own: let its build decide what is stale.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${CORVANE_HOST_MKDISC} ${CORVANE_HOST_MKDIST})
