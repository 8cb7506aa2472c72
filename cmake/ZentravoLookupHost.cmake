# The lookup service's address as fixed in Zentravo.exe.
#
# ZENTRAVO_LOOKUP_HOST is a host name, optionally with a port ("localhost:8443"); the
# program's own URL splitting reads the port, and without one HTTPS goes to 443.
# Port 0 ("localhost:0") asks for an unprivileged port that is free on this machine's
# loopback when the build folder is first configured; it is kept in the cache, so
# the program, its tests and scripts/run.sh agree on it until the folder is removed.
#
# Sets, for the directories below:
#   ZENTRAVO_LOOKUP_ADDRESS  the host as the program gets it ("localhost:23817")
#   ZENTRAVO_LOOKUP_PORT     its port (443 when the host names none)
# and writes the address to lookup-address.txt in the build folder, for scripts.

if(ZENTRAVO_LOOKUP_HOST MATCHES "^(.+):0$")
  set(zentravo_lookup_host_name "${CMAKE_MATCH_1}")
  if(NOT ZENTRAVO_LOOKUP_PICKED_PORT)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    # Below the kernel's range for outgoing connections (32768 and up), so no
    # connection of another program takes it by chance later.
    execute_process(
      COMMAND "${Python3_EXECUTABLE}" -c [=[
import random, socket
for port in random.sample(range(20000, 32768), 200):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", port))
    except OSError:
        continue
    finally:
        s.close()
    print(port)
    break
]=]
      OUTPUT_VARIABLE zentravo_picked_port
      OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE zentravo_pick_result)
    if(NOT zentravo_pick_result EQUAL 0 OR NOT zentravo_picked_port MATCHES "^[0-9]+$")
      message(FATAL_ERROR "No free loopback port for ZENTRAVO_LOOKUP_HOST=${ZENTRAVO_LOOKUP_HOST}")
    endif()
    set(ZENTRAVO_LOOKUP_PICKED_PORT "${zentravo_picked_port}" CACHE INTERNAL
        "The free port picked for ZENTRAVO_LOOKUP_HOST's port 0")
  endif()
  set(ZENTRAVO_LOOKUP_ADDRESS "${zentravo_lookup_host_name}:${ZENTRAVO_LOOKUP_PICKED_PORT}")
  set(ZENTRAVO_LOOKUP_PORT "${ZENTRAVO_LOOKUP_PICKED_PORT}")
elseif(ZENTRAVO_LOOKUP_HOST MATCHES "^[^:/]+:([0-9]+)$")
  set(ZENTRAVO_LOOKUP_ADDRESS "${ZENTRAVO_LOOKUP_HOST}")
  set(ZENTRAVO_LOOKUP_PORT "${CMAKE_MATCH_1}")
elseif(ZENTRAVO_LOOKUP_HOST MATCHES "^[^:/]+$")
  set(ZENTRAVO_LOOKUP_ADDRESS "${ZENTRAVO_LOOKUP_HOST}")
  set(ZENTRAVO_LOOKUP_PORT 443)
else()
  message(FATAL_ERROR "ZENTRAVO_LOOKUP_HOST must be a host name with an optional port "
                      "(localhost, localhost:8443), not \"${ZENTRAVO_LOOKUP_HOST}\"")
endif()
file(WRITE "${PROJECT_BINARY_DIR}/lookup-address.txt" "${ZENTRAVO_LOOKUP_ADDRESS}\n")
