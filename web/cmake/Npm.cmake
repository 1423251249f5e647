# Runs npm for the viewer page: `cmake -DMODE=ci|build -DNPM=... -DWEB_DIR=...
# [-DOUT_DIR=...] -DSTAMP=... -P Npm.cmake`.
#
# node_modules lives in the source tree and is shared by every build
# directory, so each step holds a lock on it: one build's `npm ci` must not
# wipe the modules while another build runs vite on them. `npm ci` is skipped
# when node_modules was installed from the very same package-lock.json.

cmake_minimum_required(VERSION 3.25)

foreach(var MODE NPM WEB_DIR STAMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "Npm.cmake: ${var} is not set")
  endif()
endforeach()

file(LOCK "${WEB_DIR}/.npm.lock" GUARD PROCESS TIMEOUT 1200 RESULT_VARIABLE lock_result)
if(NOT lock_result STREQUAL "0")
  message(FATAL_ERROR "Npm.cmake: cannot lock ${WEB_DIR}/.npm.lock: ${lock_result}")
endif()

set(marker "${WEB_DIR}/node_modules/.batchplant-package-lock.json")

if(MODE STREQUAL "ci")
  set(up_to_date FALSE)
  if(EXISTS "${marker}")
    file(SHA256 "${marker}" installed)
    file(SHA256 "${WEB_DIR}/package-lock.json" wanted)
    if(installed STREQUAL wanted)
      set(up_to_date TRUE)
    endif()
  endif()
  if(NOT up_to_date)
    execute_process(COMMAND "${NPM}" ci --no-audit --no-fund WORKING_DIRECTORY "${WEB_DIR}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "npm ci failed in ${WEB_DIR} (${rc})")
    endif()
    file(COPY_FILE "${WEB_DIR}/package-lock.json" "${marker}")
  endif()
elseif(MODE STREQUAL "build")
  if(NOT DEFINED OUT_DIR)
    message(FATAL_ERROR "Npm.cmake: OUT_DIR is not set")
  endif()
  execute_process(COMMAND "${NPM}" run build -- --outDir "${OUT_DIR}" --emptyOutDir --logLevel warn
                  WORKING_DIRECTORY "${WEB_DIR}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "npm run build failed in ${WEB_DIR} (${rc})")
  endif()
else()
  message(FATAL_ERROR "Npm.cmake: unknown MODE '${MODE}' (ci or build)")
endif()

file(TOUCH "${STAMP}")
