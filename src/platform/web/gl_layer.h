// The fixed-function OpenGL 1.1 and GLU calls the game makes, drawn with
// WebGL 2 in the browser: matrices, immediate mode, display lists, one
// positional light with materials and colour material, modulated textures,
// polygons drawn as smoothed lines with their polygon offset, and selection
// mode worked out on the CPU. Force-included into every game source of the
// browser build (and only there): after GL's own headers, each call the
// browser's GL lacks or gets wrong is renamed to this layer's.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

// Set-up
// Once the window's WebGL 2 context is current: the shader, the buffers and
// the blend extension. False when the shader cannot be built.
bool glLayerStart();

// Per frame
// The number of draws and of vertices sent to WebGL since the last call.
struct GlLayerCounts {
    int draws = 0;
    int vertices = 0;
};
GlLayerCounts glLayerTakeCounts();
// True when the lightning's blend runs as on the desktop (the browser has
// WEBGL_blend_func_extended), false when the closest blend stands in for it.
bool glLayerHasSaturateBlend();

// The renamed calls, with GL's own signatures.
void glLayerEnable(GLenum cap);
void glLayerDisable(GLenum cap);
void glLayerHint(GLenum target, GLenum mode);
void glLayerShadeModel(GLenum mode);
void glLayerClearDepth(GLclampd depth);
void glLayerViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void glLayerBlendFunc(GLenum source, GLenum destination);
void glLayerPolygonMode(GLenum face, GLenum mode);
void glLayerPolygonOffset(GLfloat factor, GLfloat units);
void glLayerTexEnvf(GLenum target, GLenum pname, GLfloat value);

void glLayerMatrixMode(GLenum mode);
void glLayerLoadIdentity();
void glLayerPushMatrix();
void glLayerPopMatrix();
void glLayerMultMatrixf(const GLfloat* m);
void glLayerTranslatef(GLfloat x, GLfloat y, GLfloat z);
void glLayerTranslated(GLdouble x, GLdouble y, GLdouble z);
void glLayerRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void glLayerScalef(GLfloat x, GLfloat y, GLfloat z);
void glLayerOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near, GLdouble far);
void glLayerGetFloatv(GLenum pname, GLfloat* values);
void glLayerGetIntegerv(GLenum pname, GLint* values);
void gluLayerPerspective(GLdouble fovy, GLdouble aspect, GLdouble near, GLdouble far);
void gluLayerLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY, GLdouble centreZ,
                    GLdouble upX, GLdouble upY, GLdouble upZ);
void gluLayerPickMatrix(GLdouble x, GLdouble y, GLdouble width, GLdouble height, GLint viewport[4]);

void glLayerLightfv(GLenum light, GLenum pname, const GLfloat* values);
void glLayerMaterialfv(GLenum face, GLenum pname, const GLfloat* values);

void glLayerBegin(GLenum mode);
void glLayerEnd();
void glLayerVertex2i(GLint x, GLint y);
void glLayerVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glLayerVertex3fv(const GLfloat* v);
void glLayerNormal3fv(const GLfloat* v);
void glLayerTexCoord2f(GLfloat s, GLfloat t);
void glLayerTexCoord2fv(const GLfloat* v);
void glLayerColor3f(GLfloat r, GLfloat g, GLfloat b);
void glLayerColor3ub(GLubyte r, GLubyte g, GLubyte b);
void glLayerColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void glLayerColor4fv(const GLfloat* v);

void glLayerEnableClientState(GLenum array);
void glLayerDisableClientState(GLenum array);
void glLayerVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void glLayerPushClientAttrib(GLbitfield mask);
void glLayerPopClientAttrib();
void glLayerDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices);

GLuint glLayerGenLists(GLsizei range);
void glLayerNewList(GLuint list, GLenum mode);
void glLayerEndList();
void glLayerCallList(GLuint list);
void glLayerCallLists(GLsizei n, GLenum type, const GLvoid* lists);
void glLayerListBase(GLuint base);
void glLayerDeleteLists(GLuint list, GLsizei range);

void glLayerBindTexture(GLenum target, GLuint texture);
void glLayerDeleteTextures(GLsizei n, const GLuint* textures);
void glLayerTexParameterf(GLenum target, GLenum pname, GLfloat value);
void glLayerTexParameteri(GLenum target, GLenum pname, GLint value);
void glLayerTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const GLvoid* pixels);
void glLayerCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
                           GLsizei height, GLint border);
GLint gluLayerBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                             GLenum type, const void* data);

void glLayerSelectBuffer(GLsizei size, GLuint* buffer);
GLint glLayerRenderMode(GLenum mode);
void glLayerInitNames();
void glLayerPushName(GLuint name);
void glLayerLoadName(GLuint name);

#ifndef GL_LAYER_NO_RENAMING
#define glEnable glLayerEnable
#define glDisable glLayerDisable
#define glHint glLayerHint
#define glShadeModel glLayerShadeModel
#define glClearDepth glLayerClearDepth
#define glViewport glLayerViewport
#define glBlendFunc glLayerBlendFunc
#define glPolygonMode glLayerPolygonMode
#define glPolygonOffset glLayerPolygonOffset
#define glTexEnvf glLayerTexEnvf
#define glMatrixMode glLayerMatrixMode
#define glLoadIdentity glLayerLoadIdentity
#define glPushMatrix glLayerPushMatrix
#define glPopMatrix glLayerPopMatrix
#define glMultMatrixf glLayerMultMatrixf
#define glTranslatef glLayerTranslatef
#define glTranslated glLayerTranslated
#define glRotatef glLayerRotatef
#define glScalef glLayerScalef
#define glOrtho glLayerOrtho
#define glGetFloatv glLayerGetFloatv
#define glGetIntegerv glLayerGetIntegerv
#define gluPerspective gluLayerPerspective
#define gluLookAt gluLayerLookAt
#define gluPickMatrix gluLayerPickMatrix
#define glLightfv glLayerLightfv
#define glMaterialfv glLayerMaterialfv
#define glBegin glLayerBegin
#define glEnd glLayerEnd
#define glVertex2i glLayerVertex2i
#define glVertex3f glLayerVertex3f
#define glVertex3fv glLayerVertex3fv
#define glNormal3fv glLayerNormal3fv
#define glTexCoord2f glLayerTexCoord2f
#define glTexCoord2fv glLayerTexCoord2fv
#define glColor3f glLayerColor3f
#define glColor3ub glLayerColor3ub
#define glColor4f glLayerColor4f
#define glColor4fv glLayerColor4fv
#define glEnableClientState glLayerEnableClientState
#define glDisableClientState glLayerDisableClientState
#define glVertexPointer glLayerVertexPointer
#define glPushClientAttrib glLayerPushClientAttrib
#define glPopClientAttrib glLayerPopClientAttrib
#define glDrawElements glLayerDrawElements
#define glGenLists glLayerGenLists
#define glNewList glLayerNewList
#define glEndList glLayerEndList
#define glCallList glLayerCallList
#define glCallLists glLayerCallLists
#define glListBase glLayerListBase
#define glDeleteLists glLayerDeleteLists
#define glBindTexture glLayerBindTexture
#define glDeleteTextures glLayerDeleteTextures
#define glTexParameterf glLayerTexParameterf
#define glTexParameteri glLayerTexParameteri
#define glTexImage2D glLayerTexImage2D
#define glCopyTexImage2D glLayerCopyTexImage2D
#define gluBuild2DMipmaps gluLayerBuild2DMipmaps
#define glSelectBuffer glLayerSelectBuffer
#define glRenderMode glLayerRenderMode
#define glInitNames glLayerInitNames
#define glPushName glLayerPushName
#define glLoadName glLayerLoadName
#endif
