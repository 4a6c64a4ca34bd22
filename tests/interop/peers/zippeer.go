// tests/interop/peers/zippeer.go - Go's archive/zip as a test peer.
//
//	go run zippeer.go ARCHIVE
//
// One line per entry: name, permission bits (octal), kind (file, dir, link),
// size of the bytes read, their CRC-32 (hex) and the modification time in UTC
// seconds, tab-separated.  Go reads the 0x5455 block for the time and the
// Unix mode of entries made on Unix.
package main

import (
	"fmt"
	"hash/crc32"
	"io"
	"io/fs"
	"os"
	"archive/zip"
)

func main() {
	r, err := zip.OpenReader(os.Args[1])
	if err != nil {
		fmt.Fprintln(os.Stderr, err)
		os.Exit(1)
	}
	defer r.Close()
	for _, f := range r.File {
		rc, err := f.Open()
		if err != nil {
			fmt.Fprintln(os.Stderr, f.Name, err)
			os.Exit(1)
		}
		data, err := io.ReadAll(rc)
		rc.Close()
		if err != nil {
			fmt.Fprintln(os.Stderr, f.Name, err)
			os.Exit(1)
		}
		kind := "file"
		if f.Mode()&fs.ModeSymlink != 0 {
			kind = "link"
		} else if f.Mode().IsDir() {
			kind = "dir"
		}
		fmt.Printf("%s\t%o\t%s\t%d\t%x\t%d\n", f.Name, f.Mode().Perm(), kind, len(data), crc32.ChecksumIEEE(data),
			f.Modified.Unix())
	}
}
