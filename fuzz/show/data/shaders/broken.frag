#version 330 compatibility
// Does not compile: the show's own error message is printed.
void main()
{
    gl_FragColor = undefinedValue;
}
