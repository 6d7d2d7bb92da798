// The ParaView file: an unstructured grid with one point array per field.
// It is written to a temporary name in the same directory and renamed at
// the end, so a failed run leaves no partial file.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fesolve.h"

namespace fesolve {

void write_vtu(const std::string &path, const Mesh &mesh, const std::vector<Field> &fields) {
  const std::string tmp = path + ".tmp." + std::to_string(getpid());
  FILE *f = std::fopen(tmp.c_str(), "w");
  if (!f) throw InputError(path + ": cannot write: " + std::strerror(errno));
  std::fprintf(f,
               "<?xml version=\"1.0\"?>\n"
               "<VTKFile type=\"UnstructuredGrid\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
               "<UnstructuredGrid>\n<Piece NumberOfPoints=\"%d\" NumberOfCells=\"%d\">\n",
               mesh.nodes(), mesh.elements());
  std::fprintf(f, "<PointData Vectors=\"%s\">\n", fields.empty() ? "" : fields[0].name.c_str());
  for (const Field &fd : fields) {
    std::fprintf(f, "<DataArray type=\"Float64\" Name=\"%s\" NumberOfComponents=\"3\" format=\"ascii\">\n",
                 fd.name.c_str());
    for (int i = 0; i < mesh.nodes(); ++i)
      std::fprintf(f, "%.9g %.9g %.9g\n", fd.values[3 * i], fd.values[3 * i + 1], fd.values[3 * i + 2]);
    std::fprintf(f, "</DataArray>\n");
  }
  std::fprintf(f, "</PointData>\n<Points>\n"
                  "<DataArray type=\"Float64\" NumberOfComponents=\"3\" format=\"ascii\">\n");
  for (int i = 0; i < mesh.nodes(); ++i)
    std::fprintf(f, "%.9g %.9g %.9g\n", mesh.xyz[3 * i], mesh.xyz[3 * i + 1], mesh.xyz[3 * i + 2]);
  std::fprintf(f, "</DataArray>\n</Points>\n<Cells>\n"
                  "<DataArray type=\"Int32\" Name=\"connectivity\" format=\"ascii\">\n");
  for (int e = 0; e < mesh.elements(); ++e) {
    for (int p = mesh.start[e]; p < mesh.start[e + 1]; ++p) std::fprintf(f, "%d ", mesh.conn[p]);
    std::fputc('\n', f);
  }
  std::fprintf(f, "</DataArray>\n<DataArray type=\"Int32\" Name=\"offsets\" format=\"ascii\">\n");
  for (int e = 0; e < mesh.elements(); ++e) std::fprintf(f, "%d\n", mesh.start[e + 1]);
  std::fprintf(f, "</DataArray>\n<DataArray type=\"UInt8\" Name=\"types\" format=\"ascii\">\n");
  for (int e = 0; e < mesh.elements(); ++e) std::fprintf(f, "%d\n", mesh.kind[e] == kHex8 ? 12 : 10);
  std::fprintf(f, "</DataArray>\n</Cells>\n</Piece>\n</UnstructuredGrid>\n</VTKFile>\n");
  const bool bad = std::ferror(f) != 0;
  const int err = errno;
  if (std::fclose(f) != 0 || bad) {
    std::remove(tmp.c_str());
    throw InputError(path + ": cannot write: " + std::strerror(bad ? err : errno));
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    const int e2 = errno;
    std::remove(tmp.c_str());
    throw InputError(path + ": cannot write: " + std::strerror(e2));
  }
}

}  // namespace fesolve
