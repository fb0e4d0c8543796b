// dup and dup2 for the test programs run under node with the real file system (NODERAWFS).
// GoogleTest captures stdout and stderr by pointing descriptor 1 or 2 at a scratch file with
// dup2 and back. Emscripten's own dup reopens the file by its path, which the standard streams
// do not have, and closes the target first, which closes node's real stdout. Here a duplicate
// shares the open file of the original, and the file is closed with its last descriptor.
mergeInto(LibraryManager.library, {
  $sharedStreams__deps: ['$FS'],
  $sharedStreams: {
    close: function(fd) {
      var stream = FS.getStream(fd);
      if (!stream) return -{{{ cDefine('EBADF') }}};
      if (stream.shared && --stream.shared.count > 0) {
        FS.closeStream(fd);
        return 0;
      }
      try {
        FS.close(stream);
      } catch (e) {
        if (!(e instanceof FS.ErrnoError)) throw e;
        return -e.errno;
      }
      return 0;
    },
    dup: function(fd, newfd) {
      var old = FS.getStream(fd);
      if (!old) return -{{{ cDefine('EBADF') }}};
      if (newfd === fd) return fd;
      if (FS.getStream(newfd)) sharedStreams.close(newfd);
      var copy = Object.assign({}, old);
      copy.fd = newfd;
      old.shared = copy.shared = old.shared || {count: 1};
      old.shared.count++;
      FS.streams[newfd] = copy;
      return newfd;
    },
  },
  fd_close__deps: ['$sharedStreams'],
  fd_close: function(fd) {
    var r = sharedStreams.close(fd);
    return r < 0 ? -r : 0;
  },
  __syscall_dup__deps: ['$sharedStreams'],
  __syscall_dup: function(fd) {
    return sharedStreams.dup(fd, FS.nextfd());
  },
  __syscall_dup3__deps: ['$sharedStreams'],
  __syscall_dup3: function(fd, suggestFD, flags) {
    if (fd === suggestFD) return -{{{ cDefine('EINVAL') }}};
    return sharedStreams.dup(fd, suggestFD);
  },
});
