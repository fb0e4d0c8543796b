// The drawing code linked into the programs of the browser check (through the shell and the
// new-game set-up) names fixed-function GL calls that emscripten's WebGL library lacks. These
// programs never draw: the calls stop the program, as emscripten's own stand-ins for the other
// legacy calls do.
function legacyGlCalled(name) {
  abort('GL call ' + name + ' in a program of the browser check, which never draws');
}
mergeInto(LibraryManager.library, {
  glDisableClientState: function() { legacyGlCalled('glDisableClientState'); },
  glEnableClientState: function() { legacyGlCalled('glEnableClientState'); },
  glEnd: function() { legacyGlCalled('glEnd'); },
  glTexCoord2f: function() { legacyGlCalled('glTexCoord2f'); },
  glTexCoordPointer: function() { legacyGlCalled('glTexCoordPointer'); },
  glVertex3f: function() { legacyGlCalled('glVertex3f'); },
});
