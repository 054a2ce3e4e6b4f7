/* A loadable DLL named d3d9.dll that is not the system's: the Direct3D 9 check must never load it.
   (The runtime library supplies its DllMain.) */
int fake_d3d9_marker;
