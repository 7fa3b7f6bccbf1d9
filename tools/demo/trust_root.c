/* Adds a certificate authority, given as a DER file, to the current user's
 * trusted roots: the end-to-end tests trust their own authority this way,
 * in their Wine prefix only. Never run it against a real Windows account.
 *
 *   trust_root.exe <authority.der>
 *
 * Exit codes: 0 trusted (also when it was already), 1 the system refused,
 * 2 the file could not be read, 64 bad usage. */
#include <stdio.h>
#include <windows.h>
/* After <windows.h>, whose types it uses. */
#include <wincrypt.h>

int main(int argc, char** argv) {
  static BYTE der[64 * 1024];
  FILE* file;
  size_t size;
  if (argc != 2) {
    fprintf(stderr, "usage: trust_root <authority.der>\n");
    return 64;
  }
  file = fopen(argv[1], "rb");
  if (file == NULL) {
    fprintf(stderr, "trust_root: cannot open %s\n", argv[1]);
    return 2;
  }
  size = fread(der, 1, sizeof(der), file);
  fclose(file);
  if (size == 0 || size == sizeof(der)) {
    fprintf(stderr, "trust_root: %s is empty or too large\n", argv[1]);
    return 2;
  }
  if (!CertAddEncodedCertificateToSystemStoreA("Root", der, (DWORD)size)) {
    fprintf(stderr, "trust_root: refused (error %lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
