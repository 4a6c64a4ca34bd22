// tests/interop/peers/ZipPeer.java - Java's java.util.zip as a test peer.
//
//   java ZipPeer.java read ARCHIVE     one line per entry through ZipFile, then
//                                      through ZipInputStream: "file" or "stream",
//                                      name, size, CRC-32 of the bytes read, UTC
//                                      modification time in seconds, tab-separated.
//                                      Names without flag bit 11 are read as CP437
//                                      (with the flag Java always takes UTF-8).
//   java ZipPeer.java write ARCHIVE DIR  archives the files and folders below DIR
//                                      (links are followed: Java knows no links)
import java.io.*;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.nio.file.attribute.FileTime;
import java.util.*;
import java.util.zip.*;

public class ZipPeer {
  static String line(String kind, ZipEntry e, byte[] data) {
    CRC32 crc = new CRC32();
    crc.update(data);
    FileTime t = e.getLastModifiedTime();
    return kind + "\t" + e.getName() + "\t" + data.length + "\t" + Long.toHexString(crc.getValue()) + "\t"
        + (t == null ? -1 : t.toMillis() / 1000);
  }

  public static void main(String[] args) throws Exception {
    PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
    if (args[0].equals("read")) {
      Charset dos = Charset.forName("IBM437");
      try (ZipFile z = new ZipFile(args[1], dos)) {
        for (Enumeration<? extends ZipEntry> en = z.entries(); en.hasMoreElements();) {
          ZipEntry e = en.nextElement();
          try (InputStream in = z.getInputStream(e)) {
            out.println(line("file", e, in.readAllBytes()));
          }
        }
      }
      try (ZipInputStream in = new ZipInputStream(new FileInputStream(args[1]), dos)) {
        for (ZipEntry e; (e = in.getNextEntry()) != null;) out.println(line("stream", e, in.readAllBytes()));
      }
      return;
    }
    Path root = Paths.get(args[2]);
    List<Path> paths = new ArrayList<>();
    try (var walk = Files.walk(root)) {
      walk.filter(p -> !p.equals(root)).sorted().forEach(paths::add);
    }
    try (ZipOutputStream zip = new ZipOutputStream(new FileOutputStream(args[1]), StandardCharsets.UTF_8)) {
      for (Path p : paths) {
        String name = root.relativize(p).toString().replace(File.separatorChar, '/');
        boolean folder = Files.isDirectory(p);
        ZipEntry e = new ZipEntry(folder ? name + "/" : name);
        e.setLastModifiedTime(Files.getLastModifiedTime(p));
        zip.putNextEntry(e);
        if (!folder) zip.write(Files.readAllBytes(p));
        zip.closeEntry();
      }
    }
  }
}
