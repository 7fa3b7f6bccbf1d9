# The tests' own certificate authority and server certificates
# (tests/tls/make-test-authority.sh), made once per build tree: the host
# tests and nginx read them, the end-to-end tests add the authority to the
# Wine prefix's trusted roots, never to the machine's.
set(TAVORO_TEST_AUTHORITY_DIR ${CMAKE_BINARY_DIR}/test-authority)
add_custom_command(
  OUTPUT ${TAVORO_TEST_AUTHORITY_DIR}/ca.pem
  COMMAND ${PROJECT_SOURCE_DIR}/tests/tls/make-test-authority.sh ${TAVORO_TEST_AUTHORITY_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/tls/make-test-authority.sh
  COMMENT "Making the tests' certificate authority"
  VERBATIM)
add_custom_target(test_authority ALL DEPENDS ${TAVORO_TEST_AUTHORITY_DIR}/ca.pem)
